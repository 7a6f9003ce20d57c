#pragma once
// The advanced settings page: the device card and one navigation button per settings page of
// the model that the reader supports on the left; the tool bar and the chosen page on the right.
#include "BCodePropertyWidget.h"
#include "EditLogic.h"
#include "IPluginWidget.h"

#include <QHash>
#include <QToolButton>

class BCodeToolsWidget;
class DeviceCardWidget;
class QButtonGroup;
class QStackedWidget;
class QVBoxLayout;

// Navigation button, named for its style sheet.
class ToolButtonEx : public QToolButton
{
    Q_OBJECT
public:
    using QToolButton::QToolButton;
};

// One settings page file of the advanced settings page.
class CommandPropertyWidget : public BCodePropertyWidget
{
    Q_OBJECT
public:
    using BCodePropertyWidget::BCodePropertyWidget;
};

class AdvancedSettingsWidget : public IPluginWidget
{
    Q_OBJECT
public:
    explicit AdvancedSettingsWidget(QWidget *parent = nullptr);

    BCodeToolsWidget *tools() const { return m_tools; }
    DeviceCardWidget *deviceCard() const { return m_card; }
    QList<EditLogic::NavEntry> navigation() const { return m_entries; }
    ToolButtonEx *navButton(const QString &id) const;
    // The page of a navigation entry, created on first use.
    CommandPropertyWidget *openPage(const QString &propertyId);
    CommandPropertyWidget *currentPage() const;
    QString currentPropertyId() const;
    // A command by code or (translated) name on the supported pages:
    // {"page": property file, "pageId", "id"}; invalid when none.
    QVariant findCommand(const QString &text) const;

    static const char *const NavStyle;

    bool openDevice(QPointer<KxDeviceConnector> connector, const QVariant &param) override;

public slots:
    bool openDeviceById(const QString &deviceId, const QVariant &param) override;
    bool checkLeave() override { return true; }
    bool isBusy() override { return false; }
    bool stopBusy() override { return true; }
    bool activate(const QVariant &param) override;
    bool closing(const QVariant &param) override;
    void locate(const QVariant &item) override;
    void OnBtnToolClicked();
    void OnPropertyValueChanged(const QString &changedId);

signals:
    void OnSignalConfigLibStreamMode(bool bStream);
    void OnSignalBtnDeviceLogClick();

private:
    void buildNavigation();

    QPointer<KxDeviceConnector> m_connector;
    QString m_modelDir;
    DeviceCardWidget *m_card;
    QWidget *m_nav;
    QVBoxLayout *m_navLayout;
    QButtonGroup *m_navGroup;
    BCodeToolsWidget *m_tools;
    QStackedWidget *m_stack;
    QList<EditLogic::NavEntry> m_entries;
    QHash<QString, CommandPropertyWidget *> m_pages; // propertyId -> page
};
