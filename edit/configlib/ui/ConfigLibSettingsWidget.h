#pragma once
// The configuration-library page. Built anew each time the edit frame shows it; until the
// configuration sets are edited here it says so on screen.
#include "EditPlaceholders.h"

class ConfigLibSettingsWidget : public EditPlaceholderFrame
{
    Q_OBJECT
public:
    explicit ConfigLibSettingsWidget(QWidget *parent = nullptr);

    bool openDevice(QPointer<KxDeviceConnector> connector, const QVariant &param) override;

public slots:
    void OnSlotConfigLibNameChange(int nConfigLibID, const QString &strLibName);
    void OnCmdChanged(const QStringList &cmds);

signals:
    void OnSignalConfigLibEnable();
    void OnSignalConfigLibNameChange(int nConfigLibID, const QString &strLibName);
    void OnSignalConfigLibStreamMode(bool bStream);
    void OnSignalBtnDeviceLogClick();
};
