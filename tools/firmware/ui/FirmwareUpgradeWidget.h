#pragma once
// Upgrades one reader: file choice, package checks, the model question, the transfer on a pool
// thread with progress polled every 100 ms, the strict-mode retry, and the verified end.
#include "FirmwareUpgradeTask.h"

#include <QWidget>

class KxPushButton;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QTimer;

class FirmwareUpgradeWidget : public QWidget
{
    Q_OBJECT
public:
    // alreadyConnected: the caller holds the reader's link; the upgrade neither opens nor
    // closes it.
    FirmwareUpgradeWidget(const QString &deviceId, const KxDeviceInfoMap &info,
                          bool alreadyConnected, QWidget *parent = nullptr);
    ~FirmwareUpgradeWidget() override;

    void setFilePath(const QString &path);
    QString filePath() const { return m_path; }
    bool isRunning() const { return m_running; }
    QString logText() const;
    // How long a restarted reader may take to answer again (tests shorten it).
    void setVerifyTimeout(int ms) { m_verifyTimeoutMs = ms; }

    static QString fileFilter();
    // A progress above 1000 is not a progress: shown as 0.
    static int shownProgress(int progress) { return progress > 1000 || progress < 0 ? 0 : progress; }

signals:
    void UpgradeEnd(bool bRet, int nError);
    void requestUserChoose();

public slots:
    void onBtnClickedSelectFile();
    void onBtnClickedUpgrade();
    void slotUpgradeEnd(bool bRet, int nError);
    void slotUserChoose();

private:
    void start(bool strict);
    void poll();
    void appendLine(const QString &text);
    void finish(bool ok, int error);

    QString m_deviceId;
    KxDeviceInfoMap m_info;
    QString m_path;
    QLineEdit *m_pathEdit;
    KxPushButton *m_btnFile;
    KxPushButton *m_btnUpgrade;
    QProgressBar *m_progress;
    QPlainTextEdit *m_log;
    QTimer *m_timer;
    int m_progressValue = 0;
    int m_lastBlock = -1;
    int m_lastStep = -1;
    int m_lastFirst = -1;
    bool m_mismatchAccepted = false;
    bool m_ifp = false;
    bool m_alreadyConnected = false;
    bool m_running = false;
    bool m_strict = true;
    bool m_userYes = false;
    int m_verifyTimeoutMs = 90000;
    QString m_version;  // verified version of the last run
    std::shared_ptr<std::atomic_bool> m_cancel;
};
