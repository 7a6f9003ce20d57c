#pragma once
// The local settings: where and how images are saved, how much disk stays free and what happens
// when it runs short, how saved images, logs and statistics age, and the discovery times. Every
// field is a key of group "default"; choices store the index of the chosen entry, as the disk
// monitor and the image savers read them. Accepted only after the settings were written.
#include "NDialogEx.h"

#include <functional>

class QComboBox;
class QLineEdit;
class QSpinBox;

class LocalSettingDlg : public NDialogEx
{
    Q_OBJECT
public:
    explicit LocalSettingDlg(QWidget *parent = nullptr);

    void load();
    // Checks the fields; writes them and returns true, or tells the user why and writes nothing.
    bool save();
    // Shown as a button when set: opens the FTP settings (their own dialog).
    void setFtpSettingsAction(std::function<void()> action);

private:
    void chooseFolder();
    void updateRemoveFields();

    QLineEdit *m_imagePath;
    QComboBox *m_fileType;
    QComboBox *m_quality;
    QComboBox *m_removeStrategy;
    QComboBox *m_saveDate;
    QSpinBox *m_maxCount;
    QComboBox *m_reserve;
    QComboBox *m_fullStrategy;
    QComboBox *m_logAge;
    QComboBox *m_statisticsAge;
    QSpinBox *m_refresh;
    QSpinBox *m_alive;
    QWidget *m_ftpButton;
    std::function<void()> m_ftpAction;
};
