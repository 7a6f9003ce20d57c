#include "KxToggleSwitch.h"

#include "KxI18nUtil.h"
#include "KxWidgetStyle.h"

#include <QPainter>
#include <QVariantAnimation>

namespace
{
constexpr int kTrackW = 36;
constexpr int kTrackH = 20;
constexpr int kSpacing = 8;
} // namespace

KxToggleSwitch::KxToggleSwitch(QWidget *parent) : KxToggleSwitch(QString(), parent) {}

KxToggleSwitch::KxToggleSwitch(const QString &textKey, QWidget *parent)
    : QAbstractButton(parent), m_anim(new QVariantAnimation(this))
{
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setText(kxTr(textKey));
    m_anim->setDuration(120);
    connect(m_anim, &QVariantAnimation::valueChanged, this, [this](const QVariant &v) {
        m_pos = v.toReal();
        update();
    });
    connect(this, &QAbstractButton::toggled, this, &KxToggleSwitch::animateTo);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize KxToggleSwitch::sizeHint() const
{
    int w = kTrackW + 4;
    if (!text().isEmpty())
        w += kSpacing + fontMetrics().horizontalAdvance(text());
    return QSize(w, qMax(kTrackH + 4, fontMetrics().height()));
}

void KxToggleSwitch::checkStateSet()
{
    // setChecked() from code: jump, no animation (the widget may not even be visible).
    m_anim->stop();
    m_pos = isChecked() ? 1.0 : 0.0;
    update();
}

void KxToggleSwitch::nextCheckState()
{
    setChecked(!isChecked());
}

void KxToggleSwitch::animateTo(bool on)
{
    const qreal target = on ? 1.0 : 0.0;
    if (!isVisible()) {
        m_anim->stop();
        m_pos = target;
        return;
    }
    m_anim->stop();
    m_anim->setStartValue(m_pos);
    m_anim->setEndValue(target);
    m_anim->start();
}

bool KxToggleSwitch::hitButton(const QPoint &pos) const
{
    return rect().contains(pos);
}

void KxToggleSwitch::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF track(2, (height() - kTrackH) / 2.0, kTrackW, kTrackH);
    const QColor off("#c4cad4");
    const QColor on(KxStyle::Accent);
    QColor fill(int(off.red() + (on.red() - off.red()) * m_pos),
                int(off.green() + (on.green() - off.green()) * m_pos),
                int(off.blue() + (on.blue() - off.blue()) * m_pos));
    if (!isEnabled())
        fill.setAlpha(110);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(track, kTrackH / 2.0, kTrackH / 2.0);
    const qreal knob = kTrackH - 4;
    const qreal x = track.left() + 2 + (kTrackW - 4 - knob) * m_pos;
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(x, track.top() + 2, knob, knob));
    if (hasFocus()) {
        p.setPen(QPen(QColor(KxStyle::AccentHover), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(track.adjusted(-1.5, -1.5, 1.5, 1.5), kTrackH / 2.0 + 1.5,
                          kTrackH / 2.0 + 1.5);
    }
    if (!text().isEmpty()) {
        p.setPen(isEnabled() ? QColor(KxStyle::Text) : QColor("#a3a9b3"));
        const QRect tr(int(track.right()) + kSpacing, 0, width() - int(track.right()) - kSpacing,
                       height());
        p.drawText(tr, Qt::AlignVCenter | Qt::AlignLeft, text());
    }
}
