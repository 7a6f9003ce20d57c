#pragma once
// The fields of the "ftp" settings group: port, user, password, folder and how the folder is
// pruned. It says plainly when the factory user name and password are in use.
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

class FtpSettingWidget : public QWidget
{
    Q_OBJECT
public:
    explicit FtpSettingWidget(QWidget *parent = nullptr);

    void load();
    // Checks the fields; on success writes them and returns true, otherwise tells the user why
    // and writes nothing.
    bool save();
    // Whether the user name and password are the ones every installation starts with.
    bool usesDefaultCredentials() const;

    static QString defaultUser() { return QStringLiteral("admin"); }
    static QString defaultPassword() { return QStringLiteral("vexor"); }

private:
    void chooseFolder();
    void updateNotice();

    QSpinBox *m_port;
    QLineEdit *m_user;
    QLineEdit *m_password;
    QLineEdit *m_folder;
    QComboBox *m_strategy;
    QComboBox *m_saveDate;
    QSpinBox *m_maxCount;
    QLabel *m_notice;
};
