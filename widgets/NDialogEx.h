#pragma once
// The frameless dialog base: a bordered frame with its own title bar ("widgetTitle": title text
// and close button), a content area for the subclass and an optional row of buttons.
// The dialog is dragged by its title bar ("canMove" is set for the application's filter too);
// Escape never closes it.
#include <QDialog>
#include <QPointer>

class KxPushButton;
class QFrame;
class QHBoxLayout;
class QLabel;
class QToolButton;
class QVBoxLayout;

class NDialogTitleBar : public QWidget
{
    Q_OBJECT
public:
    explicit NDialogTitleBar(QWidget *parent = nullptr);
    void setTitleText(const QString &text);
    QString titleText() const { return m_text; }
    QToolButton *closeButton() const { return m_btnClose; }
    QSize minimumSizeHint() const override;

signals:
    void closeClicked();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void updateElided();
    QLabel *m_labTitle;
    QToolButton *m_btnClose;
    QString m_text;
    bool m_dragging = false;
    QPoint m_pressOffset;
};

class NDialogEx : public QDialog
{
    Q_OBJECT
public:
    explicit NDialogEx(QWidget *parent = nullptr);

    // Title as a text key ("#IDS_...") or plain text; shown translated.
    void setTitle(const QString &keyOrText);
    QString titleKey() const { return m_titleKey; }
    QString titleText() const;
    void setTitleBarVisible(bool visible);
    void setCloseButtonVisible(bool visible);

    NDialogTitleBar *titleBar() const { return m_titleBar; }
    // The subclass's area; give it a layout. Its margins are the dialog's padding.
    QWidget *contentWidget() const { return m_content; }
    // Adds a right-aligned button (text key or text) to the row below the content.
    KxPushButton *addButton(const QString &textKey, int kind = 0);
    QWidget *buttonRow() const { return m_buttonRow; }

    // Fixes the dialog's width (never below what its contents need) and takes the height its
    // wrapped texts need at that width.
    void fitToWidth(int width);

    // True where the window system composes translucent windows, so a drop shadow can be used.
    static bool shadowsSupported();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QFrame *m_frame;
    NDialogTitleBar *m_titleBar;
    QWidget *m_content;
    QWidget *m_buttonRow;
    QHBoxLayout *m_buttonLayout;
    QString m_titleKey;
};
