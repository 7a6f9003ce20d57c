#include "StatisticsTrendChart.h"

#include "KxI18nUtil.h"

#include <QtCharts/QChart>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <QtMath>

using namespace QtCharts;

StatisticsTrendChart::StatisticsTrendChart(QWidget *parent, bool compact)
    : QChartView(parent), m_compact(compact)
{
    setObjectName(QStringLiteral("chartTrend"));
    setRenderHint(QPainter::Antialiasing);
    setPoints({});
}

void StatisticsTrendChart::setPoints(const QList<StatisticsTrendPoint> &points)
{
    m_count = points.size();
    auto *chart = new QChart;
    chart->setMargins(m_compact ? QMargins(2, 2, 2, 2) : QMargins(8, 8, 8, 8));
    chart->setBackgroundRoundness(0);
    auto *rate = new QLineSeries(chart);
    rate->setName(kxTr(QStringLiteral("#IDS_Statistics_RateAxis")));
    rate->setColor(QColor(QStringLiteral("#0c3484")));
    auto *time = new QLineSeries(chart);
    time->setName(kxTr(QStringLiteral("#IDS_Statistics_TimeAxis")));
    time->setColor(QColor(QStringLiteral("#e07b00")));
    double maxTime = 1;
    double minRate = 100;
    for (const StatisticsTrendPoint &p : points) {
        const qreal x = qreal(p.at.toMSecsSinceEpoch());
        rate->append(x, p.rate);
        time->append(x, p.averageMs);
        maxTime = qMax(maxTime, p.averageMs);
        minRate = qMin(minRate, p.rate);
    }
    // A single record still shows as a dot.
    rate->setPointsVisible(points.size() < 3);
    time->setPointsVisible(points.size() < 3);
    chart->addSeries(rate);
    chart->addSeries(time);

    auto *axisX = new QDateTimeAxis(chart);
    axisX->setFormat(QStringLiteral("HH:mm"));
    axisX->setTickCount(m_compact ? 4 : 7);
    if (points.isEmpty()) {
        const QDateTime now = QDateTime::currentDateTime();
        axisX->setRange(now.addSecs(-3600), now);
    } else if (points.size() == 1) {
        axisX->setRange(points.first().at.addSecs(-1800), points.first().at.addSecs(1800));
    } else {
        axisX->setRange(points.first().at, points.last().at);
    }
    auto *axisRate = new QValueAxis(chart);
    // The rate axis starts near the worst interval, so small drops stay visible.
    axisRate->setRange(qMax(0.0, qFloor(minRate / 10.0) * 10.0 - (minRate >= 100 ? 10 : 0)), 100);
    axisRate->setLabelFormat(QStringLiteral("%.0f"));
    axisRate->setTickCount(m_compact ? 3 : 6);
    axisRate->setTitleText(m_compact ? QString() : rate->name());
    axisRate->setLinePenColor(rate->color());
    auto *axisTime = new QValueAxis(chart);
    axisTime->setRange(0, qCeil(maxTime * 1.2));
    axisTime->setLabelFormat(QStringLiteral("%.0f"));
    axisTime->setTickCount(m_compact ? 3 : 6);
    axisTime->setTitleText(m_compact ? QString() : time->name());
    axisTime->setLinePenColor(time->color());
    QFont small = axisX->labelsFont();
    small.setPixelSize(m_compact ? 9 : 11);
    for (QAbstractAxis *a : {static_cast<QAbstractAxis *>(axisX), static_cast<QAbstractAxis *>(axisRate),
                             static_cast<QAbstractAxis *>(axisTime)})
        a->setLabelsFont(small);
    chart->addAxis(axisX, Qt::AlignBottom);
    chart->addAxis(axisRate, Qt::AlignLeft);
    chart->addAxis(axisTime, Qt::AlignRight);
    rate->attachAxis(axisX);
    rate->attachAxis(axisRate);
    time->attachAxis(axisX);
    time->attachAxis(axisTime);
    chart->legend()->setAlignment(Qt::AlignBottom);
    QFont legendFont = chart->legend()->font();
    legendFont.setPixelSize(m_compact ? 9 : 11);
    chart->legend()->setFont(legendFont);
    if (!m_compact)
        chart->setTitle(kxTr(QStringLiteral("#IDS_Statistics_Trend")));
    QChart *old = this->chart();
    setChart(chart);
    delete old;
}

void StatisticsTrendChart::loadHistory(const QString &path, const QDateTime &now)
{
    QStringList lines;
    if (!StatisticsHistory::readLines(path, &lines)) {
        setPoints({});
        return;
    }
    setPoints(StatisticsHistory::trend(StatisticsHistory::parse(lines), now.addSecs(-3600 * kShiftHours)));
}
