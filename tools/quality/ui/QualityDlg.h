#pragma once
// Code grading of the open reader: the codes graded so far with their overall grade, the
// parameter grades of the chosen code, its trend over successive reads, and a PDF report.
#include "NDialogEx.h"
#include "QualityReport.h"

#include <QPointer>

class KxDeviceConnector;
class KxPushButton;
class QLabel;
class QTableWidget;

namespace QtCharts {
class QChartView;
class QLineSeries;
}

class QualityDlg : public NDialogEx
{
    Q_OBJECT
public:
    explicit QualityDlg(KxDeviceConnector *connector, QWidget *parent = nullptr);

    const QualityReport &report() const { return m_report; }
    QTableWidget *codesTable() const { return m_codes; }
    QTableWidget *gradesTable() const { return m_grades; }
    QtCharts::QLineSeries *trend() const { return m_trend; }
    bool exportPdf(const QString &path);

public slots:
    void addResults(const QList<STRUCT_BARCODE_INFO> &batch);

private:
    void refreshCodes();
    void showCode(int row);
    void exportClicked();

    QPointer<KxDeviceConnector> m_connector;
    QualityReport m_report;
    QLabel *m_hint;
    QTableWidget *m_codes;
    QTableWidget *m_grades;
    QtCharts::QChartView *m_chart;
    QtCharts::QLineSeries *m_trend;
    KxPushButton *m_export;
    KxPushButton *m_clear;
};
