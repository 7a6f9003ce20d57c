#pragma once
// The FTP settings dialog; accepted only after the settings were written.
#include "NDialogEx.h"

class FtpSettingWidget;

class FtpSettingDialog : public NDialogEx
{
    Q_OBJECT
public:
    explicit FtpSettingDialog(QWidget *parent = nullptr);
    FtpSettingWidget *settingWidget() const { return m_widget; }

private:
    FtpSettingWidget *m_widget;
};
