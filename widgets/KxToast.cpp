#include "KxToast.h"

#include "KxI18nUtil.h"
#include "KxPaintedIcon.h"
#include "NDialogEx.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>
#include <QVariantAnimation>

namespace
{
constexpr int kMaxTextWidth = 420;
constexpr int kPadX = 16;
constexpr int kPadY = 10;
constexpr int kIcon = 18;
constexpr int kGap = 8;

// Every live toast in creation order; the registry is GUI-thread only.
QList<KxToast *> &registry()
{
    static QList<KxToast *> list;
    return list;
}
} // namespace

KxToast *KxToast::showToast(const QString &textKey, int durationMs, QWidget *anchor, KxMsgType type)
{
    QWidget *window = anchor ? anchor->window() : QApplication::activeWindow();
    // A toast over a dialog that is about to close would vanish with it: prefer its parent's
    // window when the dialog is hidden.
    if (window && !window->isVisible() && window->parentWidget())
        window = window->parentWidget()->window();
    const QString text = kxTr(textKey);
    for (KxToast *t : toastsOf(window)) {
        if (t->m_text == text && t->m_type == type && !t->m_fadingOut) {
            t->setDuration(durationMs);
            return t;
        }
    }
    auto *toast = new KxToast(text, type, window);
    // Too many at once: the oldest make room (they are already being read or ignored).
    QList<KxToast *> staying;
    for (KxToast *t : toastsOf(window)) {
        if (!t->m_fadingOut)
            staying << t;
    }
    for (int i = 0; i < staying.size() - MaxStacked; ++i)
        staying.at(i)->dismiss();
    toast->setDuration(durationMs);
    toast->start();
    return toast;
}

QList<KxToast *> KxToast::toastsOf(QWidget *window)
{
    QList<KxToast *> out;
    for (KxToast *t : registry()) {
        if (t->m_window.data() == window)
            out << t;
    }
    return out;
}

KxToast::KxToast(const QString &text, KxMsgType type, QWidget *parentWindow)
    : QWidget(parentWindow), m_text(text), m_type(type), m_window(parentWindow)
{
    setObjectName(QStringLiteral("KxToast"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_ShowWithoutActivating);
    if (!parentWindow) {
        setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint);
        if (NDialogEx::shadowsSupported())
            setAttribute(Qt::WA_TranslucentBackground);
    }
    QFont f = font();
    f.setPixelSize(13);
    setFont(f);
    resize(sizeHint());

    m_hold = new QTimer(this);
    m_hold->setSingleShot(true);
    connect(m_hold, &QTimer::timeout, this, &KxToast::dismiss);
    m_fade = new QVariantAnimation(this);
    connect(m_fade, &QVariantAnimation::valueChanged, this, [this](const QVariant &v) {
        m_opacity = v.toReal();
        update();
    });
    connect(m_fade, &QVariantAnimation::finished, this, [this] {
        if (m_fadingOut)
            deleteLater();
        else
            startHold();
    });
    registry().append(this);
    if (parentWindow)
        parentWindow->installEventFilter(this); // follow the window's size
}

bool KxToast::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::Resize)
        restack(m_window.data());
    return QWidget::eventFilter(watched, event);
}

KxToast::~KxToast()
{
    registry().removeAll(this);
    // Close the gap later: the window may itself be in its destructor right now, and a queued
    // call on it is dropped when it goes.
    QWidget *window = m_window.data();
    QObject *context = window ? static_cast<QObject *>(window) : qApp;
    QMetaObject::invokeMethod(
        context, [window] { restack(window); }, Qt::QueuedConnection);
}

void KxToast::setDuration(int ms)
{
    m_duration = qMax(0, ms);
    if (m_hold->isActive())
        startHold();
    else if (m_fadingOut) { // shown again while leaving: come back
        m_fadingOut = false;
        m_fade->stop();
        m_fade->setStartValue(m_opacity);
        m_fade->setEndValue(1.0);
        m_fade->setDuration(m_fadeMs);
        m_fade->start();
    }
}

void KxToast::setFadeDuration(int ms)
{
    m_fadeMs = qMax(0, ms);
}

void KxToast::start()
{
    restack(m_window.data());
    show();
    raise();
    m_fade->setStartValue(0.0);
    m_fade->setEndValue(1.0);
    m_fade->setDuration(qMax(1, m_fadeMs));
    m_fade->start();
}

void KxToast::startHold()
{
    m_hold->start(qMax(0, m_duration - 2 * m_fadeMs));
}

void KxToast::dismiss()
{
    if (m_fadingOut)
        return;
    m_fadingOut = true;
    m_hold->stop();
    m_fade->stop();
    m_fade->setStartValue(m_opacity);
    m_fade->setEndValue(0.0);
    m_fade->setDuration(qMax(1, m_fadeMs));
    m_fade->start();
}

QRect KxToast::textRect() const
{
    return fontMetrics().boundingRect(QRect(0, 0, kMaxTextWidth, 4000),
                                      Qt::TextWordWrap | Qt::AlignLeft, m_text);
}

QSize KxToast::sizeHint() const
{
    const QRect tr = textRect();
    const int h = qMax(tr.height(), kIcon) + 2 * kPadY;
    return QSize(kPadX + kIcon + 10 + tr.width() + kPadX, h);
}

void KxToast::restack(QWidget *window)
{
    const QList<KxToast *> toasts = toastsOf(window);
    QRect area = window ? window->rect() : QRect();
    if (!window) {
        const QScreen *screen = QGuiApplication::primaryScreen();
        area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    }
    int y = area.top() + qMax(56, area.height() / 8);
    for (KxToast *t : toasts) {
        const QSize s = t->sizeHint();
        t->setGeometry(area.left() + (area.width() - s.width()) / 2, y, s.width(), s.height());
        y += s.height() + kGap;
    }
}

void KxToast::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(m_opacity);
    const bool rounded = parentWidget() || testAttribute(Qt::WA_TranslucentBackground);
    QPainterPath bg;
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    bg.addRoundedRect(r, rounded ? 6 : 0, rounded ? 6 : 0);
    p.fillPath(bg, QColor(38, 46, 60, 238));

    KxIconShape shape = KxIconShape::Info;
    if (m_type == KxMsgType::Warning)
        shape = KxIconShape::Warning;
    else if (m_type == KxMsgType::Error)
        shape = KxIconShape::Error;
    const QColor iconColor = m_type == KxMsgType::Information ? QColor("#7fa3ea") : QColor();
    const int iy = (height() - kIcon) / 2;
    p.drawPixmap(kPadX, iy, kxPaintedPixmap(shape, kIcon, iconColor, devicePixelRatioF()));

    p.setPen(Qt::white);
    const QRect tr = textRect();
    const QRect target(kPadX + kIcon + 10, (height() - tr.height()) / 2, tr.width(), tr.height());
    p.drawText(target, Qt::TextWordWrap | Qt::AlignLeft, m_text);
}
