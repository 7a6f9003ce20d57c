#include "KxWaitingDlg.h"

#include "KxI18nUtil.h"
#include "KxStyledButtons.h"
#include "KxWidgetStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

KxBusyIndicator::KxBusyIndicator(QWidget *parent) : QWidget(parent), m_timer(new QTimer(this))
{
    setFixedSize(sizeHint());
    m_timer->setInterval(40);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_angle = (m_angle + 12) % 360;
        update();
    });
}

bool KxBusyIndicator::isSpinning() const
{
    return m_timer->isActive();
}

void KxBusyIndicator::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_timer->start();
}

void KxBusyIndicator::hideEvent(QHideEvent *event)
{
    m_timer->stop(); // no repaints while nobody sees it
    QWidget::hideEvent(event);
}

void KxBusyIndicator::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal pen = 3.5;
    const QRectF r = QRectF(rect()).adjusted(pen, pen, -pen, -pen);
    p.setPen(QPen(QColor(KxStyle::AccentSoft), pen));
    p.drawEllipse(r);
    p.setPen(QPen(QColor(KxStyle::Accent), pen, Qt::SolidLine, Qt::RoundCap));
    // Qt angles are counter-clockwise in 1/16 degree: spin clockwise with a 100-degree arc.
    p.drawArc(r, -m_angle * 16, 100 * 16);
}

KxWaitingDlg::KxWaitingDlg(QWidget *parent) : NDialogEx(parent)
{
    setObjectName(QStringLiteral("KxWaitingDlg"));
    setTitleBarVisible(false);
    setWindowModality(Qt::ApplicationModal);

    m_busy = new KxBusyIndicator(contentWidget());
    m_labText = new QLabel(contentWidget());
    m_labText->setObjectName(QStringLiteral("labText"));
    m_labText->setTextFormat(Qt::PlainText);
    m_labText->setWordWrap(true);
    m_labText->setStyleSheet(QStringLiteral("font-size:13px;"));

    auto *row = new QHBoxLayout;
    row->setSpacing(14);
    row->addWidget(m_busy, 0, Qt::AlignVCenter);
    row->addWidget(m_labText, 1, Qt::AlignVCenter);
    auto *lay = new QVBoxLayout(contentWidget());
    lay->setContentsMargins(22, 20, 22, 20);
    lay->addLayout(row);

    m_btnCancel = addButton(QStringLiteral("#IDS_Cancel"));
    m_btnCancel->setObjectName(QStringLiteral("btnCancel"));
    buttonRow()->hide();
    connect(m_btnCancel, &QPushButton::clicked, this, [this] {
        m_btnCancel->setEnabled(false);
        emit signal_cancelClicked();
    });
    fitSize();
}

void KxWaitingDlg::setText(const QString &textKey)
{
    m_labText->setText(kxTr(textKey));
    fitSize();
}

QString KxWaitingDlg::text() const
{
    return m_labText->text();
}

void KxWaitingDlg::setCancelText(const QString &textKey)
{
    buttonRow()->setVisible(!textKey.isEmpty());
    if (!textKey.isEmpty())
        m_btnCancel->setTextKey(textKey);
    m_btnCancel->setEnabled(true);
    fitSize();
}

bool KxWaitingDlg::hasCancel() const
{
    return !buttonRow()->isHidden();
}

void KxWaitingDlg::fitSize()
{
    // Wide enough for one line of a usual text, wrapping longer ones; grows with translations.
    const int textWidth = m_labText->fontMetrics().horizontalAdvance(m_labText->text());
    const int w = qBound(300, textWidth + 36 + 14 + 44 + 8, 440);
    fitToWidth(w);
}
