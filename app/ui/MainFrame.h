#pragma once
// The main window: the title bar over a stack of panels, the main page at index 0 for the
// window's whole life and at most one device edit page above it. One process-wide guarded
// pointer names it, so any part of the program can show a toast or the waiting dialog over it.
#include "IPluginWidget.h"
#include "NMainWindow.h"

#include <QList>
#include <QPointer>
#include <QRect>

#include <functional>

class MainFrameTitle;
class MainPageClient;
class QStackedWidget;

class MainFrame : public NMainWindow
{
    Q_OBJECT
public:
    using FunCancelClicked = std::function<void()>;
    using EditPanelFactory = std::function<IMainFramePanel *(QWidget *parent)>;
    using GeometryProvider = std::function<QRect()>;

    static constexpr int kMinWidth = 1380, kMinHeight = 680;
    static constexpr int kInitWidth = 1400, kInitHeight = 900;

    explicit MainFrame(QWidget *parent = nullptr);
    ~MainFrame() override;

    // The one main window, or null before it exists and after it is gone.
    static MainFrame *instance();
    // A toast of 3000 ms over the main window (or free-standing without one).
    static void showToast(const QString &textKey, int durationMs = 3000);

    // Builds the device edit page (panel 1); without a factory a placeholder page is used.
    static void setEditPanelFactory(EditPanelFactory factory);
    // The available screen area the window sizes itself to (tests inject one); by default the
    // available geometry of the screen under the mouse cursor.
    static void setAvailableGeometryProvider(GeometryProvider provider);
    static QRect availableGeometry();

    struct Sizes {
        QSize minimum;
        QSize initial;
    };
    static Sizes windowSizes(const QSize &available);
    static QString windowStyleSheet();

    // Device-change notifications of the hot-plug manager. Turning them back on replays one
    // change when a device came or went while they were off.
    static void setDeviceChangeNotifications(bool enabled);

    MainFrameTitle *title() const { return m_title; }
    QStackedWidget *stackClient() const { return m_stack; }
    MainPageClient *mainPage() const { return m_mainPage; }
    IMainFramePanel *currentPanel() const;
    IMainFramePanel *panel(MainFramePanel id) const;

public slots:
    MainFramePanel getCurPanelId() const;
    void showPanel(MainFramePanel panelId, const QString &device_id = QString(),
                   DeviceEditMode mode = DeviceEditMode_None, const QVariant &param = QVariant());
    // The waiting dialog; a cancel text adds a cancel button that calls func while object lives.
    void showWaittingDlg(const QString &text, const QString &cancelText = QString(),
                         FunCancelClicked func = nullptr, QObject *object = nullptr);
    // The same with a close button ("#IDS_Close") in place of a named cancel text.
    void showWaittingDlgSupportClose(const QString &text, FunCancelClicked func = nullptr,
                                     QObject *object = nullptr);
    void closeWaittingDlg();
    void settingFtp();
    // Starts the FTP server with the stored settings, replacing a running one.
    void restartFtpServer();
    void localSetting();
    void logUpdate();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void initWindow();

    MainFrameTitle *m_title = nullptr;
    QStackedWidget *m_stack = nullptr;
    MainPageClient *m_mainPage = nullptr;
    class FtpServerHost *m_ftpServer = nullptr;
    QList<QPointer<QWidget>> m_hiddenWaiting; // waiting dialogs hidden while minimised
};
