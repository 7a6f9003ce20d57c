#pragma once
// A reader's history file: its records and the trend of the shift.
#include "NDialogEx.h"

class QPlainTextEdit;
class StatisticsTrendChart;

class StatisticsHistoryViewDlg : public NDialogEx
{
    Q_OBJECT
public:
    StatisticsHistoryViewDlg(const QString &title, const QString &path, QWidget *parent = nullptr);
    QStringList lines() const { return m_lines; }
    StatisticsTrendChart *chart() const { return m_chart; }

private:
    QStringList m_lines;
    QPlainTextEdit *m_text;
    StatisticsTrendChart *m_chart;
};
