#pragma once
// The read-test table: verdict, content, symbology, current read rate, decode time and the two
// quality columns.
#include "ResultOutputTableWidget.h"

class ResultOutputTestWidget : public ResultOutputTableWidget
{
    Q_OBJECT
public:
    explicit ResultOutputTestWidget(QWidget *parent = nullptr);
    static QStringList columnKeys();
    static QStringList rowFor(const STRU_TEST_RESULT_INFO &info);

public slots:
    void addTestResults(const QList<STRU_TEST_RESULT_INFO> &results) override;
};
