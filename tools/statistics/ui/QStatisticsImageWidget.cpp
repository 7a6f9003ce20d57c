#include "QStatisticsImageWidget.h"

#include "KxI18nUtil.h"
#include "KxSettings.h"

#include <QPainter>

namespace {
const int kFigureHeight = 66;
}

QStatisticsImageWidget::QStatisticsImageWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("QStatisticsImageWidget"));
    setMinimumSize(minimumSizeHint());
    m_figures = StatisticsCounters::figures({});
}

namespace {
// -1 until read: the settings file is read straight through, and cards repaint often.
int g_marksDrawn = -1;
}

bool QStatisticsImageWidget::marksDrawn()
{
    if (g_marksDrawn < 0)
        g_marksDrawn = KxSettings::instance()->value(QStringLiteral("MARKKIT"), QStringLiteral("nodraw"), false).toBool() ? 0 : 1;
    return g_marksDrawn == 1;
}

void QStatisticsImageWidget::setMarksDrawn(bool on)
{
    KxSettings::instance()->setValue(QStringLiteral("MARKKIT"), QStringLiteral("nodraw"), !on);
    g_marksDrawn = on ? 1 : 0;
}

void QStatisticsImageWidget::setReady(bool ready)
{
    if (m_ready == ready)
        return;
    m_ready = ready;
    update();
}

void QStatisticsImageWidget::setFigures(const StatisticsFigures &f)
{
    m_figures = f;
    update();
}

void QStatisticsImageWidget::setImage(const QImage &image, const QList<KxFoundCode> &marks,
                                      double penWidthRate, double penHeighRate)
{
    m_image = image;
    m_marks = marks;
    m_penWidthRate = penWidthRate > 0 ? penWidthRate : 1;
    m_penHeighRate = penHeighRate > 0 ? penHeighRate : 1;
    update();
}

QStringList QStatisticsImageWidget::figureTexts() const
{
    return {m_figures.total, m_figures.success, m_figures.average, m_figures.rate};
}

void QStatisticsImageWidget::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), QColor(QStringLiteral("#ffffff")));
    if (!m_ready) {
        p.setPen(QColor(QStringLiteral("#595959")));
        QFont f = font();
        f.setPixelSize(16);
        p.setFont(f);
        p.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, kxTr(QStringLiteral("#IDS_DeviceConnecting")));
        return;
    }
    const QRect imageArea = rect().adjusted(4, 4, -4, -kFigureHeight - 6);
    p.fillRect(imageArea, QColor(QStringLiteral("#262626")));
    if (!m_image.isNull() && imageArea.width() > 0 && imageArea.height() > 0) {
        const QSize shown = m_image.size().scaled(imageArea.size(), Qt::KeepAspectRatio);
        const QRect target(imageArea.center() - QPoint(shown.width() / 2, shown.height() / 2), shown);
        p.drawImage(target, m_image);
        if (marksDrawn()) {
            const double sx = double(target.width()) / m_image.width();
            const double sy = double(target.height()) / m_image.height();
            // Lines as wide on a scaled-down image as on the sensor's own.
            QPen pen(QColor(QStringLiteral("#22c55e")));
            pen.setWidthF(qBound(1.0, 2.0 * qMin(m_penWidthRate, m_penHeighRate) * qMin(sx, sy) * 2.0, 4.0));
            p.setPen(pen);
            for (const KxFoundCode &c : m_marks) {
                QPolygonF poly;
                for (const QPoint &pt : c.position)
                    poly << QPointF(target.left() + pt.x() * sx, target.top() + pt.y() * sy);
                if (poly.size() >= 2)
                    p.drawPolygon(poly);
            }
        }
    }
    // The four figures with their captions.
    const QStringList values = {m_figures.total, m_figures.success, m_figures.rate, m_figures.average};
    const QStringList captions = {kxTr(QStringLiteral("#IDS_Total")), kxTr(QStringLiteral("#IDS_SuccessNumber")),
                                  kxTr(QStringLiteral("#IDS_DecodeSuccessRate")),
                                  kxTr(QStringLiteral("#IDS_DecodeAverageTime_ms"))};
    const int top = height() - kFigureHeight - 2;
    const int w = width() / 4;
    for (int i = 0; i < 4; ++i) {
        const QRect cell(i * w + 2, top, w - 4, kFigureHeight);
        p.fillRect(cell, QColor(QStringLiteral("#f4f6fa")));
        QFont big = font();
        big.setPixelSize(18);
        big.setBold(true);
        p.setFont(big);
        p.setPen(QColor(i == 2 ? QStringLiteral("#0c3484") : QStringLiteral("#000000")));
        p.drawText(cell.adjusted(2, 4, -2, -30), Qt::AlignHCenter | Qt::AlignVCenter, values[i]);
        // The caption takes the largest size at which all of it fits the cell.
        const QRect capRect = cell.adjusted(2, kFigureHeight - 30, -2, -2);
        QFont small = font();
        for (int px = 11; px >= 8; --px) {
            small.setPixelSize(px);
            const QRect need = QFontMetrics(small).boundingRect(capRect, Qt::AlignHCenter | Qt::TextWordWrap, captions[i]);
            if (need.height() <= capRect.height() && need.width() <= capRect.width())
                break;
        }
        p.setFont(small);
        p.setPen(QColor(QStringLiteral("#595959")));
        p.drawText(capRect, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextWordWrap, captions[i]);
    }
}
