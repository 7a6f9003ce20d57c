#pragma once
// The frameless main window base: its own title bar ("widgetTitle" with "labIcon", "labTitle",
// "widgetMenu" and the buttons "btnMenu_Min", "btnMenu_Max", "btnMenu_Close"), moved and resized
// through the window system (QWindow::startSystemMove / startSystemResize), with a plain drag
// as the fallback where the window system offers neither.
#include <QMainWindow>
#include <QPoint>
#include <QPointer>

class QAbstractButton;
class QVBoxLayout;

class NMainWindow : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr int kResizeMargin = 5;

    explicit NMainWindow(QWidget *parent = nullptr);
    ~NMainWindow() override;

    // The layout of the client area; the subclass puts the title bar first.
    QVBoxLayout *clientLayout() const { return m_clientLayout; }
    QWidget *clientWidget() const { return m_client; }

    // Takes over a title bar: its named children become the window's buttons and labels.
    void setTitleBar(QWidget *title);
    QWidget *titleBar() const { return m_title; }

    // Whether start-up shows the window in normal size (otherwise maximised).
    bool openNormalSize() const { return m_openNormalSize; }
    void setOpenNormalSize(bool normal) { m_openNormalSize = normal; }

    // The window edges a point (in window coordinates) lies on, for resizing.
    static Qt::Edges edgesAt(const QSize &size, const QPoint &pos, int margin = kResizeMargin);
    // The tool tip key of the maximise button for a window state.
    static QString maximizeToolTipKey(Qt::WindowStates state);

public slots:
    void onBtnMenu_Min_Clicked();
    void onBtnMenu_Max_Clicked();
    void onBtnMenu_Close_Clicked();
    void updateMaximizeButton();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    bool handleTitleEvent(QEvent *event);
    bool handleEdgeEvent(QWidget *widget, QEvent *event);
    bool isHitTestVisible(const QPoint &titlePos) const;
    void setEdgeCursor(Qt::Edges edges);

    QWidget *m_client;
    QVBoxLayout *m_clientLayout;
    QPointer<QWidget> m_title;
    QPointer<QAbstractButton> m_btnMin, m_btnMax, m_btnClose;
    bool m_openNormalSize = false;
    bool m_dragging = false; // fallback drag when the window system cannot move the window
    QPoint m_dragOffset;
    Qt::Edges m_cursorEdges;
};
