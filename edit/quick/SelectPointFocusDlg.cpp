#include "SelectPointFocusDlg.h"

#include "KxI18nUtil.h"
#include "KxStyledButtons.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

namespace {
constexpr int kPictureWidth = 560;
}

SelectPointFocusDlg::SelectPointFocusDlg(const QPixmap &image, const QSize &sensor, QWidget *parent)
    : NDialogEx(parent), m_image(image), m_sensor(sensor.isValid() ? sensor : image.size())
{
    setObjectName(QStringLiteral("SelectPointFocusDlg"));
    setTitle(QStringLiteral("#IDS_PointFocus_2"));
    auto *layout = new QVBoxLayout(contentWidget());
    auto *tips = new QLabel(kxTr(QStringLiteral("#IDS_SelectFocusPoint_Tips")), contentWidget());
    tips->setWordWrap(true);
    layout->addWidget(tips);
    m_picture = new QLabel(contentWidget());
    m_picture->setObjectName(QStringLiteral("labPicture"));
    m_picture->setCursor(Qt::CrossCursor);
    m_picture->installEventFilter(this);
    layout->addWidget(m_picture, 0, Qt::AlignHCenter);
    auto *ok = addButton(QStringLiteral("#IDS_OK"), 1);
    m_ok = ok;
    connect(ok, &QPushButton::clicked, this, &SelectPointFocusDlg::accept);
    connect(addButton(QStringLiteral("#IDS_Cancel")), &QPushButton::clicked, this, &SelectPointFocusDlg::reject);
    redraw();
    fitToWidth(kPictureWidth + 60);
}

void SelectPointFocusDlg::choose(const QPoint &pos)
{
    const QPixmap shown = m_picture->pixmap(Qt::ReturnByValue);
    if (shown.isNull() || !QRect(QPoint(0, 0), shown.size()).contains(pos))
        return;
    // The picture is the image scaled to fit; the reader wants sensor pixels.
    m_point = QPoint(qBound(0, pos.x() * m_sensor.width() / shown.width(), m_sensor.width() - 1),
                     qBound(0, pos.y() * m_sensor.height() / shown.height(), m_sensor.height() - 1));
    redraw();
}

bool SelectPointFocusDlg::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_picture && event->type() == QEvent::MouseButtonPress) {
        choose(static_cast<QMouseEvent *>(event)->pos());
        return true;
    }
    return NDialogEx::eventFilter(watched, event);
}

void SelectPointFocusDlg::redraw()
{
    QPixmap shown = m_image.isNull() ? QPixmap(kPictureWidth, kPictureWidth * 10 / 16)
                                     : m_image.scaledToWidth(kPictureWidth, Qt::SmoothTransformation);
    if (m_image.isNull())
        shown.fill(Qt::darkGray);
    if (!m_point.isNull()) {
        QPainter p(&shown);
        p.setPen(QPen(QColor(0x0c, 0x34, 0x84), 3));
        const QPoint at(m_point.x() * shown.width() / m_sensor.width(),
                        m_point.y() * shown.height() / m_sensor.height());
        p.drawLine(at - QPoint(12, 0), at + QPoint(12, 0));
        p.drawLine(at - QPoint(0, 12), at + QPoint(0, 12));
        p.setPen(QPen(Qt::white, 1));
        p.drawEllipse(at, 16, 16);
    }
    m_picture->setPixmap(shown);
    m_picture->setFixedSize(shown.size());
    m_ok->setEnabled(!m_point.isNull());
}
