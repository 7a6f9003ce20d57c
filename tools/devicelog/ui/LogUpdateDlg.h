#pragma once
// Downloads the logs of chosen online readers into a folder, all at once; each reader's result
// shows as a line with an icon and a coloured text. Closing while downloads run stops them.
#include "KxKitTypes.h"
#include "NDialogEx.h"

#include <QList>
#include <QPair>

class DeviceLogDownload;
class KxPushButton;
class QLineEdit;
class QTableWidget;
class QTextBrowser;
class QCheckBox;

class LogUpdateDlg : public NDialogEx
{
    Q_OBJECT
public:
    // readers: the listed readers; the offline ones are left out.
    explicit LogUpdateDlg(const QList<QPair<QString, KxDeviceInfoMap>> &readers, QWidget *parent = nullptr);

    DeviceLogDownload *download() const { return m_download; }
    QTableWidget *table() const { return m_table; }
    QLineEdit *folderEdit() const { return m_folder; }
    QTextBrowser *results() const { return m_results; }
    // The rich text line of one reader's result.
    static QString resultLine(bool ok, const QString &name);

    void reject() override;

public slots:
    void on_btnDownload_clicked();
    void on_btnBrowse_clicked();

private:
    void onReaderFinished(const QString &deviceId, bool ok, const QStringList &files);
    void setRunning(bool running);
    QString readerName(const QString &deviceId) const;

    QList<QPair<QString, KxDeviceInfoMap>> m_readers;
    DeviceLogDownload *m_download;
    QTableWidget *m_table;
    QCheckBox *m_all;
    QLineEdit *m_folder;
    KxPushButton *m_btnBrowse;
    KxPushButton *m_btnDownload;
    KxPushButton *m_btnClose;
    QTextBrowser *m_results;
    bool m_closeWhenDone = false;
};
