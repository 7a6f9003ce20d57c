#pragma once
// The trend of a reader's shift: success rate and average decode time of each history interval.
#include "StatisticsHistory.h"

#include <QtCharts/QChartView>

class StatisticsTrendChart : public QtCharts::QChartView
{
    Q_OBJECT
public:
    // The shift the chart shows: the last 12 hours.
    static constexpr int kShiftHours = 12;

    explicit StatisticsTrendChart(QWidget *parent = nullptr, bool compact = false);
    void setPoints(const QList<StatisticsTrendPoint> &points);
    // From a history file: the intervals of the shift up to now.
    void loadHistory(const QString &path, const QDateTime &now = QDateTime::currentDateTime());
    int pointCount() const { return m_count; }

private:
    int m_count = 0;
    bool m_compact;
};
