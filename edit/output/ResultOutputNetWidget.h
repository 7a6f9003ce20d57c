#pragma once
// The result table of readers that report structured results: type, data, length, PPM, the
// sender's IP, MAC and serial number, quality, decode time, configuration set and AI.
#include "ResultOutputTableWidget.h"

class ResultOutputNetWidget : public ResultOutputTableWidget
{
    Q_OBJECT
public:
    explicit ResultOutputNetWidget(QWidget *parent = nullptr);
    static QStringList columnKeys();
    // Readers that grade engraved codes title the quality column "#IDS_EngravingQuality".
    void setEngravingQuality(bool engraving);
    static QStringList rowFor(const STRUCT_BARCODE_INFO &info);
    QString exportFilter() const override;

public slots:
    void addBarcodes(const QList<STRUCT_BARCODE_INFO> &barcodes) override;
};
