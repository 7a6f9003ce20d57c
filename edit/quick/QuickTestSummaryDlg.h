#pragma once
// The summary of the last trigger, read or debug test: its read rate, the read times as a
// small bar chart, and the no-read images kept, one of them shown large.
#include "QuickTestSummary.h"

#include <QDialog>

class QLabel;
class QListWidget;
namespace QtCharts {
class QChartView;
}

class QuickTestSummaryDlg : public QDialog
{
    Q_OBJECT
public:
    explicit QuickTestSummaryDlg(const QuickTestSummary &summary, QWidget *parent = nullptr);

    QLabel *rateLabel() const { return m_rate; }
    // Null when the test had no good read to chart.
    QtCharts::QChartView *chartView() const { return m_chart; }
    // Bar heights of the chart, in bin order.
    QList<int> barCounts() const;
    QListWidget *imageList() const { return m_images; }
    QLabel *imagePreview() const { return m_preview; }

private:
    QuickTestSummary m_summary;
    QLabel *m_rate;
    QtCharts::QChartView *m_chart = nullptr;
    QListWidget *m_images = nullptr;
    QLabel *m_preview = nullptr;
};
