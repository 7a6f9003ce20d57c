#include "NDialogEx.h"

#include "KxI18nUtil.h"
#include "KxPaintedIcon.h"
#include "KxStyledButtons.h"
#include "KxWidgetStyle.h"

#include <QGraphicsDropShadowEffect>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

namespace
{
constexpr int kTitleHeight = 40;
constexpr int kShadowMargin = 12;
constexpr int kMaxTitleHint = 480; // a long title is elided rather than widening the dialog
} // namespace

NDialogTitleBar::NDialogTitleBar(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("widgetTitle"));
    setAttribute(Qt::WA_StyledBackground);
    setFixedHeight(kTitleHeight);
    m_labTitle = new QLabel(this);
    m_labTitle->setObjectName(QStringLiteral("labTitle"));
    m_labTitle->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_btnClose = new QToolButton(this);
    m_btnClose->setObjectName(QStringLiteral("btnMenu_Close"));
    m_btnClose->setIcon(kxPaintedIcon(KxIconShape::Close, 16));
    m_btnClose->setIconSize(QSize(16, 16));
    m_btnClose->setFixedSize(28, 28);
    m_btnClose->setCursor(Qt::PointingHandCursor);
    m_btnClose->setFocusPolicy(Qt::NoFocus);
    m_btnClose->setToolTip(kxTr(QStringLiteral("#IDS_Close")));
    auto *lay = new QHBoxLayout(this);
    lay->setContentsMargins(16, 0, 8, 0);
    lay->setSpacing(8);
    lay->addWidget(m_labTitle, 1);
    lay->addWidget(m_btnClose);
    connect(m_btnClose, &QToolButton::clicked, this, &NDialogTitleBar::closeClicked);
}

void NDialogTitleBar::setTitleText(const QString &text)
{
    m_text = text;
    m_labTitle->setToolTip(text);
    updateElided();
    updateGeometry();
}

QSize NDialogTitleBar::minimumSizeHint() const
{
    const int textWidth = m_labTitle->fontMetrics().horizontalAdvance(m_text) + 4;
    const int w = 16 + qMin(textWidth, kMaxTitleHint) + 8 + m_btnClose->width() + 8;
    return QSize(w, kTitleHeight);
}

void NDialogTitleBar::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateElided();
}

void NDialogTitleBar::updateElided()
{
    const int avail = qMax(0, m_labTitle->width());
    m_labTitle->setText(m_labTitle->fontMetrics().elidedText(m_text, Qt::ElideRight, avail));
}

void NDialogTitleBar::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    // Let the window manager move the window where it can (it then snaps and respects
    // screen edges); otherwise move it ourselves.
    QWindow *handle = window()->windowHandle();
    if (handle && handle->startSystemMove()) {
        event->accept();
        return;
    }
    m_dragging = true;
    m_pressOffset = event->globalPos() - window()->pos();
    event->accept();
}

void NDialogTitleBar::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging)
        return QWidget::mouseMoveEvent(event);
    window()->move(event->globalPos() - m_pressOffset);
    event->accept();
}

void NDialogTitleBar::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = false;
    QWidget::mouseReleaseEvent(event);
}

bool NDialogEx::shadowsSupported()
{
    if (qEnvironmentVariableIntValue("BREVAN_DIALOG_SHADOW") == 1)
        return true;
    // Plain X servers without a compositor paint translucent pixels black: keep a solid frame
    // there (and offscreen, where pictures should show the dialog as it will look).
    const QString platform = QGuiApplication::platformName();
    return platform.startsWith(QLatin1String("wayland")) || platform == QLatin1String("windows") ||
           platform == QLatin1String("cocoa");
}

NDialogEx::NDialogEx(QWidget *parent) : QDialog(parent)
{
    setWindowFlags(Qt::FramelessWindowHint | Qt::Dialog);
    setProperty("canMove", true);
    setStyleSheet(KxStyle::dialogSheet());

    auto *outer = new QVBoxLayout(this);
    outer->setSpacing(0);
    m_frame = new QFrame(this);
    m_frame->setObjectName(QStringLiteral("frameDialog"));
    outer->addWidget(m_frame);
    if (shadowsSupported()) {
        setAttribute(Qt::WA_TranslucentBackground);
        outer->setContentsMargins(kShadowMargin, kShadowMargin, kShadowMargin, kShadowMargin);
        auto *shadow = new QGraphicsDropShadowEffect(m_frame);
        shadow->setBlurRadius(kShadowMargin * 2);
        shadow->setOffset(0, 2);
        shadow->setColor(QColor(20, 30, 50, 70));
        m_frame->setGraphicsEffect(shadow);
    } else {
        outer->setContentsMargins(0, 0, 0, 0);
    }

    auto *frameLayout = new QVBoxLayout(m_frame);
    frameLayout->setContentsMargins(1, 1, 1, 1); // inside the 1 px border
    frameLayout->setSpacing(0);
    m_titleBar = new NDialogTitleBar(m_frame);
    frameLayout->addWidget(m_titleBar);
    m_content = new QWidget(m_frame);
    m_content->setObjectName(QStringLiteral("widgetContent"));
    frameLayout->addWidget(m_content, 1);
    m_buttonRow = new QWidget(m_frame);
    m_buttonRow->setObjectName(QStringLiteral("widgetButtons"));
    m_buttonRow->setAttribute(Qt::WA_StyledBackground);
    m_buttonLayout = new QHBoxLayout(m_buttonRow);
    m_buttonLayout->setContentsMargins(20, 4, 20, 16);
    m_buttonLayout->setSpacing(10);
    m_buttonLayout->addStretch(1);
    m_buttonRow->hide();
    frameLayout->addWidget(m_buttonRow);

    connect(m_titleBar, &NDialogTitleBar::closeClicked, this, &QDialog::reject);
}

void NDialogEx::setTitle(const QString &keyOrText)
{
    m_titleKey = keyOrText;
    const QString text = kxTr(keyOrText);
    m_titleBar->setTitleText(text);
    setWindowTitle(text);
}

QString NDialogEx::titleText() const
{
    return m_titleBar->titleText();
}

void NDialogEx::setTitleBarVisible(bool visible)
{
    m_titleBar->setVisible(visible);
}

void NDialogEx::setCloseButtonVisible(bool visible)
{
    m_titleBar->closeButton()->setVisible(visible);
}

KxPushButton *NDialogEx::addButton(const QString &textKey, int kind)
{
    auto *button = new KxPushButton(textKey, KxPushButton::Kind(kind), m_buttonRow);
    m_buttonLayout->addWidget(button);
    m_buttonRow->show();
    return button;
}

void NDialogEx::fitToWidth(int width)
{
    // Layouts of a hidden dialog keep the sizes they learned before texts were set or rows
    // shown (a label without text reports no height-for-width): start them afresh.
    for (QWidget *child : findChildren<QWidget *>())
        child->updateGeometry();
    for (QLayout *l : findChildren<QLayout *>())
        l->invalidate();
    const int w = qMax(width, minimumSizeHint().width());
    setFixedWidth(w);
    setFixedHeight(qMax(heightForWidth(w), minimumSizeHint().height()));
}

void NDialogEx::keyPressEvent(QKeyEvent *event)
{
    // Escape would reject the dialog and lose what the user typed: it never closes one.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
