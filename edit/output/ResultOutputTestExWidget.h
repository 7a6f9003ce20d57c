#pragma once
// The debug-test table: the result table's columns with the matching level after PPM and the
// AI position in place of AI; failures show "NG" and every row names its configuration set.
#include "ResultOutputTableWidget.h"

class ResultOutputTestExWidget : public ResultOutputTableWidget
{
    Q_OBJECT
public:
    explicit ResultOutputTestExWidget(QWidget *parent = nullptr);
    static QStringList columnKeys();
    void setEngravingQuality(bool engraving);
    static QStringList rowFor(const STRU_TEST_RESULT_INFO &info);

public slots:
    void addTestResults(const QList<STRU_TEST_RESULT_INFO> &results) override;
};
