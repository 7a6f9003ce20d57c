#include "ResultOutputBaseWidget.h"

#include "KxI18nUtil.h"
#include "KxSettings.h"
#include "KxUiService.h"
#include "KxXls.h"
#include "ResultOutputIcons.h"

#include <QApplication>
#include <QClipboard>
#include <QDebug>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
const char kButtonStyle[] =
    "QToolButton{background:transparent; border:0px solid #FFFFFF; border-radius:3px;"
    " padding:2px 6px; color:#333333;}"
    "QToolButton:hover{background:#e8edf7;}"
    "QToolButton:pressed{background:#d3dcef;}";
}

ResultOutputBaseWidget::ResultOutputBaseWidget(QWidget *parent) : QWidget(parent)
{
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(2);
    auto *bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("ResultOutputToolRow"));
    bar->setStyleSheet(QLatin1String(kButtonStyle));
    m_toolRow = new QHBoxLayout(bar);
    m_toolRow->setContentsMargins(4, 2, 4, 2);
    m_toolRow->setSpacing(4);
    m_toolRow->addStretch(1);
    m_layout->addWidget(bar);
}

QToolButton *ResultOutputBaseWidget::addToolButton(const QString &textKey, const QString &icon)
{
    auto *b = new QToolButton(m_toolRow->parentWidget());
    b->setProperty("textKey", textKey);
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setIcon(ResultOutputIcons::icon(icon));
    b->setIconSize(QSize(16, 16));
    b->setCursor(Qt::PointingHandCursor);
    b->setText(kxTr(textKey));
    b->setToolTip(kxTr(textKey));
    m_toolRow->addWidget(b);
    m_buttons.append(b);
    return b;
}

QToolButton *ResultOutputBaseWidget::toolButton(const QString &textKey) const
{
    for (QToolButton *b : m_buttons)
        if (b->property("textKey").toString() == textKey)
            return b;
    return nullptr;
}

void ResultOutputBaseWidget::retranslateButtons()
{
    for (QToolButton *b : m_buttons) {
        const QString key = b->property("textKey").toString();
        b->setText(kxTr(key));
        b->setToolTip(kxTr(key));
    }
}

bool ResultOutputBaseWidget::event(QEvent *e)
{
    if (e->type() == QEvent::LanguageChange)
        retranslateButtons();
    return QWidget::event(e);
}

void ResultOutputBaseWidget::setContent(QWidget *content)
{
    m_layout->addWidget(content, 1);
}

void ResultOutputBaseWidget::addBarcodeBatch(const QList<STRUCT_BARCODE_INFO> &barcodes, bool)
{
    addBarcodes(barcodes);
}

void ResultOutputBaseWidget::addBarcodes(const QList<STRUCT_BARCODE_INFO> &) {}

void ResultOutputBaseWidget::addTestResults(const QList<STRU_TEST_RESULT_INFO> &) {}

void ResultOutputBaseWidget::copyToClipboard()
{
    QApplication::clipboard()->setText(copyText());
}

bool ResultOutputBaseWidget::writeReport(const QString &path)
{
    if (QFileInfo(path).suffix().compare(QLatin1String("txt"), Qt::CaseInsensitive) == 0)
        return KxXls::exportText(path, copyText());
    return KxXls::exportExcel(path, exportHead(), exportRows());
}

bool ResultOutputBaseWidget::exportReport()
{
    const QString group = QStringLiteral("output_export");
    QString dir = KxSettings::instance()->value(group, QStringLiteral("dir")).toString();
    if (dir.isEmpty() || !QDir(dir).exists())
        dir = QDir::homePath();
    KxFileRequest request;
    request.kind = KxFileDialogKind::SaveFile;
    request.title = QStringLiteral("#IDS_ExportExcel");
    request.dir = dir;
    request.filter = exportFilter();
    request.parent = this;
    const KxFileResult chosen = KxUi()->fileDialog(request);
    if (chosen.cancelled())
        return false;
    QString path = chosen.first();
    // A name without a known suffix takes the one of the chosen type.
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QLatin1String("txt") && suffix != QLatin1String("xlsx")) {
        const bool text = chosen.selectedFilter.contains(QLatin1String("*.txt"))
            || !exportFilter().contains(QLatin1String("*.xlsx"));
        if (suffix == QLatin1String("xls") && !text)
            path += QLatin1Char('x');
        else
            path += text ? QStringLiteral(".txt") : QStringLiteral(".xlsx");
    }
    KxUi()->showWaiting(QStringLiteral("#IDS_FileSaving"), QString(), {}, this);
    const bool ok = writeReport(path);
    KxUi()->closeWaiting();
    if (!ok) {
        qWarning() << "ResultOutputBaseWidget::exportReport()...failed:" << path;
        KxUi()->warning(QStringLiteral("#IDS_ExportExcel_Failed"), QStringLiteral("#IDS_Tips"), this);
        return false;
    }
    KxSettings::instance()->setValue(group, QStringLiteral("dir"), QFileInfo(path).absolutePath());
    KxUi()->toast(QStringLiteral("#IDS_ExportExcel_Success"), 3000, this);
    return true;
}
