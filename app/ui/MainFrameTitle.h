#pragma once
// The main window's title bar: logo, title and version, the main menu (languages, update check,
// download centre, log directory, user manual, about), the update reminder and the window
// buttons. Menu actions that leave the program (browser, file manager, restart) go through
// replaceable handlers so tests can see them without side effects.
#include <QWidget>

#include <functional>

class QAction;
class QLabel;
class QMenu;
class QTimer;
class QToolButton;
class QUrl;

class MainFrameTitle : public QWidget
{
    Q_OBJECT
public:
    using UrlOpener = std::function<bool(const QUrl &)>;
    using BusyProbe = std::function<bool()>;
    using Restarter = std::function<void()>;

    explicit MainFrameTitle(QWidget *parent = nullptr);

    QMenu *mainMenu() const { return m_menu; }
    QMenu *languageMenu() const { return m_languageMenu; }
    QAction *action(const QString &objectName) const;
    QList<QAction *> languageActions() const;

    // Asked before a language change: true refuses it ("#IDS_RUNNING_Tips").
    void setBusyProbe(BusyProbe probe) { m_busyProbe = std::move(probe); }
    // Opens an address or a file in the desktop's program for it.
    static void setUrlOpener(UrlOpener opener);
    static bool openUrl(const QUrl &url);
    // Quits and starts the program again (default: detached start, then quit).
    void setRestarter(Restarter restarter) { m_restarter = std::move(restarter); }

    // The user manual, agreement and privacy files: "<resources>/doc/<translated file key>".
    static QString docFile(const QString &fileKey);

    // The update reminder: a check every 60 s until the user opens the check from the menu.
    QTimer *updateTimer() const { return m_updateTimer; }
    QToolButton *updateButton() const { return m_btnUpdate; }
    void runUpdateCheck();

public slots:
    void OnMenuActionTriggered();
    void showCheckUpdateDlg();
    // Re-checks the current language in the language menu.
    void restoreLanguageChecks();

signals:
    void languageChanged(const QString &language);

private:
    void buildMenu();
    void changeLanguage(QAction *action);
    void openLogDir();
    void openManual();

    QLabel *m_labIcon;
    QLabel *m_labTitle;
    QLabel *m_labVersion;
    QToolButton *m_btnMore;
    QToolButton *m_btnUpdate;
    QMenu *m_menu;
    QMenu *m_languageMenu = nullptr;
    BusyProbe m_busyProbe;
    Restarter m_restarter;
    QTimer *m_updateTimer = nullptr;
};
