#include "PrintWidget.h"

#include "KxDialogRunner.h"
#include "KxStyledButtons.h"
#include "SettingCodeSheet.h"

#include <QDebug>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QVBoxLayout>

PrintWidget::PrintWidget(const SettingCodeSheet *sheet, const QStringList &header, QWidget *parent)
    : NDialogEx(parent)
    , m_sheet(sheet)
    , m_header(header)
    , m_printer(new QPrinter(QPrinter::HighResolution))
    , m_preview(nullptr)
{
    setObjectName(QStringLiteral("PrintWidget"));
    setTitle(QStringLiteral("#IDS_Print"));
    m_printer->setPageSize(QPageSize(QPageSize::A4));
    m_preview = new QPrintPreviewWidget(m_printer, this);
    m_preview->setObjectName(QStringLiteral("printPreview"));
    m_preview->setMinimumSize(640, 560);
    connect(m_preview, &QPrintPreviewWidget::paintRequested, this, &PrintWidget::paintRequested);
    auto *layout = new QVBoxLayout(contentWidget());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_preview);

    QPushButton *print = addButton(QStringLiteral("#IDS_Print"), 1);
    print->setObjectName(QStringLiteral("btnPrint"));
    QPushButton *zoomIn = addButton(QStringLiteral("#IDS_ZoomIn"));
    zoomIn->setObjectName(QStringLiteral("btnZoomIn"));
    QPushButton *zoomOut = addButton(QStringLiteral("#IDS_ZoomOut"));
    zoomOut->setObjectName(QStringLiteral("btnZoomOut"));
    QPushButton *restore = addButton(QStringLiteral("#IDS_Restore"));
    restore->setObjectName(QStringLiteral("btnRestore"));
    QPushButton *close = addButton(QStringLiteral("#IDS_Close"));
    close->setObjectName(QStringLiteral("btnClose"));
    connect(print, &QPushButton::clicked, this, [this] { this->print(); });
    connect(zoomIn, &QPushButton::clicked, m_preview, [this] { m_preview->zoomIn(); });
    connect(zoomOut, &QPushButton::clicked, m_preview, [this] { m_preview->zoomOut(); });
    connect(restore, &QPushButton::clicked, m_preview, &QPrintPreviewWidget::fitInView);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    // Pages are laid out now, not at the first paint, so they can be counted before showing.
    m_preview->updatePreview();
    m_preview->fitInView();
}

PrintWidget::~PrintWidget()
{
    delete m_preview; // before the printer it paints on
    delete m_printer;
}

int PrintWidget::pageCount() const
{
    return m_preview->pageCount();
}

void PrintWidget::paintRequested(QPrinter *printer)
{
    if (!m_sheet->paintPages(printer, m_header))
        qWarning() << "PrintWidget::paintRequested()...cannot paint on the printer";
}

bool PrintWidget::print()
{
    QPrintDialog dialog(m_printer, this);
    if (KxDialogRunner::run(&dialog) != QDialog::Accepted)
        return false;
    qInfo() << "PrintWidget::print()..." << m_printer->printerName() << m_printer->outputFileName();
    m_preview->print();
    return true;
}
