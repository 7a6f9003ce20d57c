#include "ConfigLibSettingsWidget.h"

#include "KxDeviceConnector.h"

ConfigLibSettingsWidget::ConfigLibSettingsWidget(QWidget *parent)
    : EditPlaceholderFrame(QStringLiteral("#IDS_ConfigLibSettings"), parent)
{
    setObjectName(QStringLiteral("ConfigLibSettingsWidget"));
}

bool ConfigLibSettingsWidget::openDevice(QPointer<KxDeviceConnector> connector, const QVariant &param)
{
    return connector && openDeviceById(connector->deviceId(), param);
}

void ConfigLibSettingsWidget::OnSlotConfigLibNameChange(int, const QString &)
{
}

void ConfigLibSettingsWidget::OnCmdChanged(const QStringList &)
{
}
