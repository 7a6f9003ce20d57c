#pragma once
// The edit frame of a barcode reader: a tool bar across the top and a stack of three pages
// (quick settings, advanced settings, configuration library), plus the tools of the tool
// bar's menus. It keeps one reader from openDeviceById until it is destroyed.
#include "IPluginWidget.h"

#include <QPointer>

class AdvancedSettingsWidget;
class QButtonGroup;
class QHBoxLayout;
class QLabel;
class QStackedWidget;
class QToolButton;
class QuickSettingsWidget;

class BCodeEditFrame : public IPluginWidget
{
    Q_OBJECT
public:
    enum Page { Page_Quick = 0, Page_Advanced = 1, Page_ConfigLib = 2 };

    explicit BCodeEditFrame(QWidget *parent = nullptr);
    ~BCodeEditFrame() override;

    // The live barcode frame, if any.
    static BCodeEditFrame *live();
    QPointer<KxDeviceConnector> connector() const { return m_connector; }
    QString deviceId() const { return m_deviceId; }

    QuickSettingsWidget *quickPage() const { return m_quick; }
    AdvancedSettingsWidget *advancedPage() const { return m_advanced; }
    QWidget *currentPage() const;
    QStackedWidget *pageStack() const { return m_pageStack; }
    QToolButton *toolButton(const QString &objectName) const;
    QToolButton *configLibButton() const { return m_configLibBtn; }
    // "N changes running, not saved in the reader" / "all saved".
    QToolButton *unsavedButton() const { return m_unsaved; }
    QWidget *deviceLogWindow() const { return m_deviceLog; }
    QList<int> deviceLogLevels() const;
    // Every current value as setting-code commands.
    QStringList settingCodeCommands() const;

    bool switchPage(int index);

public slots:
    bool openDeviceById(const QString &deviceId, const QVariant &param) override;
    bool checkLeave() override;
    bool isBusy() override;
    bool stopBusy() override;
    bool closing(const QVariant &param) override;
    void locate(const QVariant &item) override;

    void OnSlotConfigLibStreamMode(bool bVisible);
    void OnToolBarBtnClicked();
    void OnMenuActionTriggered_Barcode();
    void OnMenuActionTriggered_Compare();
    void OnMenuActionTriggered_Training();
    void OnMenuActionTriggered_Sync();
    void OnSlotConfigLibEnable();
    void OnSlotConfigLibNameChange(int nConfigLibID, const QString &strLibName);
    void OnMenuActionTriggered_Ftp();
    void OnMenuActionTriggered_localSetting();
    void OnSignalBtnDeviceLogClicked();
    void OnMenuActionTriggered_QuickSelectiontool();

signals:
    void OnSignalConfigLibStreamMode(bool stream);

private:
    void buildToolbar();
    QToolButton *addToolButton(const QString &id, const QString &textKey, const QString &icon);
    void updateUnsaved();
    void leaveToMainPage(bool ask);
    void showHistory();
    void runPlaceholderTool(const QString &titleKey, const QStringList &lines = QStringList());
    // Calls a slot of the top-level window (the main window's tool dialogs); false without it.
    bool invokeMainWindow(const char *slot);
    void checkPageButton();

    QWidget *m_toolbar;
    QHBoxLayout *m_toolbarLayout;
    QButtonGroup *m_toolGroup;
    QuickSettingsWidget *m_quick = nullptr;
    AdvancedSettingsWidget *m_advanced = nullptr;
    QPointer<KxDeviceConnector> m_connector;
    QToolButton *m_configLibBtn = nullptr;
    QToolButton *m_unsaved = nullptr;
    QStackedWidget *m_toolbarStack;
    QStackedWidget *m_pageStack;
    bool m_leaveGuard = true;
    QString m_deviceId;
    QPointer<QWidget> m_deviceLog;
    QPointer<QWidget> m_training;
    QMetaObject::Connection m_historyLink;
};
