#pragma once
// Base of the output panels under the live image. A panel takes decode results in batches
// (connect a connector's batBarcodeReceived to addBarcodeBatch, batTestResultReceived to
// addTestResults), keeps a bounded number of rows, and offers clear, copy and export through
// its tool buttons; the table panels also choose their columns.
//
//   auto *panel = new ResultOutputNetWidget(parent);
//   connect(connector, &KxDeviceConnector::batBarcodeReceived,
//           panel, &ResultOutputBaseWidget::addBarcodeBatch);
//   panel->clear();
#include "KxResultTypes.h"

#include <QList>
#include <QStringList>
#include <QWidget>

class QHBoxLayout;
class QToolButton;
class QVBoxLayout;

class ResultOutputBaseWidget : public QWidget
{
    Q_OBJECT
public:
    explicit ResultOutputBaseWidget(QWidget *parent = nullptr);

    // Everything shown, as the copy operation puts it on the clipboard.
    virtual QString copyText() const = 0;
    // Head and rows as exported to a spreadsheet.
    virtual QStringList exportHead() const = 0;
    virtual QList<QStringList> exportRows() const = 0;
    // The file types the export offers.
    virtual QString exportFilter() const { return QStringLiteral("txt (*.txt)"); }
    virtual int rowCount() const = 0;

    // Asks for a file and writes it; false when cancelled or when writing failed (the user has
    // been told then; the rows stay).
    bool exportReport();
    // Writes path: text for a ".txt" name, else an .xlsx workbook.
    bool writeReport(const QString &path);
    void copyToClipboard();

    QToolButton *toolButton(const QString &textKey) const;

public slots:
    void addBarcodeBatch(const QList<STRUCT_BARCODE_INFO> &barcodes, bool hasGrading);
    virtual void addBarcodes(const QList<STRUCT_BARCODE_INFO> &barcodes);
    virtual void addTestResults(const QList<STRU_TEST_RESULT_INFO> &results);
    virtual void clear() = 0;

signals:
    void btnClearCliked();

protected:
    QToolButton *addToolButton(const QString &textKey, const QString &icon);
    void retranslateButtons();
    void setContent(QWidget *content);
    bool event(QEvent *e) override;

private:
    QHBoxLayout *m_toolRow;
    QVBoxLayout *m_layout;
    QList<QToolButton *> m_buttons;
};
