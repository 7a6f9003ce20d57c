#pragma once
// The configuration-library page: one column per configuration set of the reader, one row per
// setting (the set's fields, then the model's per-set items the reader has), a copy bar to copy
// one set (or the current settings) into another, and the advanced page's tool bar. Every edit
// goes to the reader at once as the sets' change. Built anew each time the edit frame shows it.
#include "ConfigLibRows.h"
#include "IPluginWidget.h"
#include "KxPageInfo.h"

#include <QPointer>
#include <memory>

class BCodeToolsWidget;
class ConfigLib;
class KxDeviceCommand;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

class ConfigLibSettingsWidget : public IPluginWidget
{
    Q_OBJECT
public:
    static constexpr int CurrentSettingsId = 255;

    explicit ConfigLibSettingsWidget(QWidget *parent = nullptr);
    ~ConfigLibSettingsWidget() override;

    bool openDevice(QPointer<KxDeviceConnector> connector, const QVariant &param) override;

    QList<ConfigLib *> sets() const { return m_sets; }
    const QList<ConfigLibRow> &rows() const { return m_rows; }
    int rowOf(const QString &key) const;
    QTableWidget *table() const { return m_table; }
    QWidget *copyBar() const { return m_copyBar; }
    QComboBox *copyFrom() const { return m_copyFrom; }
    QComboBox *copyTo() const { return m_copyTo; }
    QPushButton *copyButton() const { return m_btnCopy; }
    BCodeToolsWidget *tools() const { return m_tools; }
    // The button of a button cell (name, enable, symbologies, popups); null for other rows.
    QPushButton *cellButton(int row, int column) const;
    // The text a cell shows.
    QString cellText(int row, int column) const;

public slots:
    bool openDeviceById(const QString &deviceId, const QVariant &param) override;
    bool checkLeave() override { return true; }
    bool isBusy() override { return false; }
    bool stopBusy() override { return true; }
    bool closing(const QVariant &) override { return true; }

    void OnSlotConfigLibNameChange(int nConfigLibID, const QString &strLibName);
    void OnCmdChanged(const QStringList &cmds, bool bEmitValueChanged = true);
    void on_tableWidget_itemChanged(QTableWidgetItem *item);
    // Copies the "cbxCopyFrom" source into the "cbxCopyTo" set.
    void copy();
    // What a click on a button cell does; the popups are returned for the caller to drive.
    QWidget *openCell(int row, int column);

signals:
    void OnSignalConfigLibEnable();
    void OnSignalConfigLibNameChange(int nConfigLibID, const QString &strLibName);
    void OnSignalConfigLibStreamMode(bool bStream);
    void OnSignalBtnDeviceLogClick();

private:
    void buildTable();
    void fillCopyBar();
    void refreshColumn(int column);
    void refreshCell(int row, int column);
    void onConfigChanged(int id, const QString &key);
    int columnOf(int id) const;
    QString runningValue(const QString &code) const;
    QList<QPair<QString, QString>> family(const QString &family) const;  // code, title
    QString familySummary(ConfigLib *set, const QString &family) const;
    QString setValueText(ConfigLib *set, const QString &code) const;
    KxDeviceCommand *command() const;

    QPointer<KxDeviceConnector> m_connector;
    QString m_modelDir;
    std::unique_ptr<KxPagesInfo> m_pages;
    QList<ConfigLib *> m_sets;
    QList<ConfigLibRow> m_rows;
    QMap<QString, QList<QPair<QString, QString>>> m_families;
    BCodeToolsWidget *m_tools;
    QWidget *m_copyBar;
    QComboBox *m_copyFrom;
    QLabel *m_copyLabel;
    QComboBox *m_copyTo;
    QPushButton *m_btnCopy;
    QTableWidget *m_table;
    bool m_filling = false;
};
