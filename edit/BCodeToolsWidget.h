#pragma once
// The tool bar of the advanced settings page: configuration file import and export, command
// search, the change history, command interaction, the defaults menu, save to the reader and
// the device log.
#include <QPointer>
#include <QVariant>
#include <QWidget>

#include <functional>

class KxDeviceConnector;
class QMenu;
class QToolButton;

class BCodeToolsWidget : public QWidget
{
    Q_OBJECT
public:
    // Finds a command by code or name; an invalid answer means not found.
    using CommandFinder = std::function<QVariant(const QString &text)>;

    explicit BCodeToolsWidget(QWidget *parent = nullptr);

    void setDevice(QPointer<KxDeviceConnector> connector);
    KxDeviceConnector *device() const;
    void setCommandFinder(CommandFinder finder) { m_finder = std::move(finder); }
    QToolButton *button(const QString &objectName) const;
    QMenu *defaultMenu() const { return m_defaultMenu; }

    // Runs one tool by its button's object name; false for an unknown name or without reader.
    bool runTool(const QString &objectName);
    // The message of a save that restarts the reader (first change whose code warns); empty
    // when the save keeps the link.
    static QString restartMessage(const QStringList &changedCodes,
                                  const std::function<QString(const QString &)> &warning);
    // Whether buttons of these full widths (text and icon) leave the row too narrow, so they
    // show their icons only, their texts as tool tips.
    static bool needsCompact(int available, const QList<int> &fullWidths, int spacing);
    bool isCompact() const { return m_compact; }

signals:
    void OnSignalConfigLibStreamMode(bool bStream);
    void OnSignalBtnDeviceLogClick();
    // A found command, for the page to show.
    void locateRequested(const QVariant &item);
    // The history dialog asked for setting codes.
    void settingCodeRequested();
    // The reader restarts: the edit frame goes back to the main page.
    void mainPageRequested();
    // A save or defaults command finished (ok).
    void toolFinished(const QString &objectName, bool ok);

public slots:
    void OnToolBtnClicked();
    void OnMenuActionTriggeredDefaultFactory();
    void OnMenuActionTriggeredDefaultLoadCustom();
    void OnMenuActionTriggeredDefaultSaveCustom();
    void OnMenuActionTriggeredINCFMC();
    void OnMenuActionTriggeredINCFCM();
    void OnMenuActionTriggeredINCFOT();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateCompact();
    void importConfig();
    void exportConfig();
    void searchCommand();
    void showHistory();
    void sendCommands();
    void saveToDevice();
    void finishSave(bool ok, bool restart, const QStringList &failed);
    void runDefault(const QString &code);

    QPointer<KxDeviceConnector> m_connector;
    CommandFinder m_finder;
    QMenu *m_defaultMenu;
    bool m_running = false;
    bool m_compact = false;
};
