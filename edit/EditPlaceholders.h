#pragma once
// Frames and windows that later work builds: each says on screen that it is not available yet
// and does nothing else, so nobody mistakes it for a working tool.
#include "IPluginWidget.h"
#include "NDialogEx.h"

#include <QPointer>

class QLabel;

// A page that names what it stands for and the reader it was opened with.
class EditPlaceholderFrame : public IPluginWidget
{
    Q_OBJECT
public:
    EditPlaceholderFrame(const QString &titleKey, QWidget *parent = nullptr);

    QString deviceId() const { return m_deviceId; }
    QVariant openParam() const { return m_param; }
    int openCount() const { return m_opens; }
    QString text() const;

public slots:
    bool openDeviceById(const QString &deviceId, const QVariant &param) override;
    bool checkLeave() override { return true; }
    bool isBusy() override { return false; }
    bool stopBusy() override { return true; }
    bool closing(const QVariant &) override { return true; }

protected:
    QString m_deviceId;
    QVariant m_param;
    int m_opens = 0;
    QLabel *m_label;
};

// A tool window that later work builds; `lines` shows what it was given.
class EditToolPlaceholderDlg : public NDialogEx
{
    Q_OBJECT
public:
    EditToolPlaceholderDlg(const QString &titleKey, const QStringList &lines, QWidget *parent = nullptr);
    QStringList lines() const { return m_lines; }

private:
    QStringList m_lines;
};
