#pragma once
// Print preview of a setting-code sheet: the header and the codes page by page on A4, with
// zoom and printing.
#include "NDialogEx.h"

#include <QStringList>

class QPrinter;
class QPrintPreviewWidget;
class SettingCodeSheet;

class PrintWidget : public NDialogEx
{
    Q_OBJECT
public:
    // The sheet must outlive the preview.
    PrintWidget(const SettingCodeSheet *sheet, const QStringList &header, QWidget *parent = nullptr);
    ~PrintWidget() override;

    QPrintPreviewWidget *preview() const { return m_preview; }
    int pageCount() const;
    // Prints through the print dialog; false when it was cancelled or printing failed.
    bool print();

private:
    void paintRequested(QPrinter *printer);

    const SettingCodeSheet *m_sheet;
    QStringList m_header;
    QPrinter *m_printer;
    QPrintPreviewWidget *m_preview;
};
