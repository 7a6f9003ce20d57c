#pragma once
// The plain text log of results: one line per barcode, newest at the bottom.
#include "ResultOutputBaseWidget.h"

class LazyPlainTextEdit;

class ResultOutputWidget : public ResultOutputBaseWidget
{
    Q_OBJECT
public:
    explicit ResultOutputWidget(QWidget *parent = nullptr);

    QString copyText() const override;
    QStringList exportHead() const override;
    QList<QStringList> exportRows() const override;
    int rowCount() const override;
    LazyPlainTextEdit *textEdit() const { return m_text; }
    // The line a barcode becomes.
    static QString lineFor(const STRUCT_BARCODE_INFO &info);

public slots:
    void addBarcodes(const QList<STRUCT_BARCODE_INFO> &barcodes) override;
    void clear() override;

private:
    QStringList lines() const;
    LazyPlainTextEdit *m_text;
};
