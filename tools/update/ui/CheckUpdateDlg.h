#pragma once
// The update check dialog: checks at once, downloads an offered installer with a progress bar
// and offers the restart into the updater. It owns its updater; closing it cancels what runs.
#include "NDialogEx.h"

class KxPushButton;
class KxUpdater;
class QLabel;
class QProgressBar;

class CheckUpdateDlg : public NDialogEx
{
    Q_OBJECT
public:
    explicit CheckUpdateDlg(QWidget *parent = nullptr);
    ~CheckUpdateDlg() override;

    KxUpdater *updater() const { return m_updater; }
    QString statusKey() const { return m_statusKey; }
    QLabel *statusLabel() const { return m_status; }
    QProgressBar *progressBar() const { return m_progress; }
    KxPushButton *okButton() const { return m_ok; }

public slots:
    // Starts the check; the constructor leaves it to the caller so tests can wire first.
    void start();
    void OnCheckForUpdateResult(int result);
    void OnDownloadStarted();
    void OnDownloadProgressChanged(int percentage);
    void OnDownloadFinished(int error);
    void reject() override;

private:
    enum class Stage { Checking, Downloading, Ready, Done };
    void setStatus(const QString &key);
    void onOkClicked();
    void onCloseClicked();

    KxUpdater *m_updater;
    QLabel *m_status;
    QProgressBar *m_progress;
    KxPushButton *m_ok;
    QString m_statusKey;
    Stage m_stage = Stage::Checking;
};
