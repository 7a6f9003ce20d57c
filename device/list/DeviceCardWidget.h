#pragma once
// The card at the top of the reader details: model picture, product name (and alias), and the
// reader's serial number and how it is attached ("SN:", "COM:" or "IP:").
#include "KxKitTypes.h"

#include <QWidget>

class QLabel;

class DeviceCardWidget : public QWidget
{
    Q_OBJECT
public:
    explicit DeviceCardWidget(QWidget *parent = nullptr);

    void setDevice(const QString &deviceId, const KxDeviceInfoMap &info);
    void clear();

    QString nameText() const;
    QString lineText() const;
    QString serialText() const;

private:
    QLabel *m_labIcon;
    QLabel *m_labName;
    QLabel *m_labAlias;
    QLabel *m_labSerial;
    QLabel *m_labLine;
};
