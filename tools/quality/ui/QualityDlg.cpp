#include "QualityDlg.h"

#include "KxDeviceConnector.h"
#include "KxI18nUtil.h"
#include "KxStyledButtons.h"
#include "KxUiService.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

using namespace QtCharts;

namespace {
QTableWidget *makeTable(const QStringList &keys, QWidget *parent, const QString &name)
{
    auto *t = new QTableWidget(0, keys.size(), parent);
    t->setObjectName(name);
    QStringList head;
    for (const QString &k : keys)
        head << kxTr(k);
    t->setHorizontalHeaderLabels(head);
    t->verticalHeader()->hide();
    t->verticalHeader()->setDefaultSectionSize(22);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}
}  // namespace

QualityDlg::QualityDlg(KxDeviceConnector *connector, QWidget *parent)
    : NDialogEx(parent)
    , m_connector(connector)
{
    setObjectName(QStringLiteral("QualityDlg"));
    setTitle(QStringLiteral("#IDS_Quality_Title"));
    auto *layout = new QVBoxLayout(contentWidget());
    auto *bar = new QHBoxLayout;
    m_hint = new QLabel(kxTr(QStringLiteral("#IDS_Quality_Hint")), contentWidget());
    m_hint->setObjectName(QStringLiteral("labHint"));
    m_hint->setWordWrap(true);
    bar->addWidget(m_hint, 1);
    m_clear = new KxPushButton(QStringLiteral("#IDS_Clear"), KxPushButton::Normal, contentWidget());
    m_clear->setObjectName(QStringLiteral("btnClear"));
    m_export = new KxPushButton(QStringLiteral("#IDS_Quality_ExportPdf"), KxPushButton::Normal, contentWidget());
    m_export->setObjectName(QStringLiteral("btnExportPdf"));
    bar->addWidget(m_clear);
    bar->addWidget(m_export);
    layout->addLayout(bar);

    auto *split = new QSplitter(Qt::Horizontal, contentWidget());
    m_codes = makeTable({QStringLiteral("#IDS_Sync_Symbology"), QStringLiteral("#IDS_Sync_Data"),
                         QStringLiteral("#IDS_Quality_Standard"), QStringLiteral("#IDS_Quality_Overall"),
                         QStringLiteral("#IDS_Quality_Reads")},
                        split, QStringLiteral("tableCodes"));
    m_codes->setColumnWidth(0, 90);
    m_codes->setColumnWidth(1, 150);
    m_codes->setColumnWidth(2, 80);
    m_codes->setColumnWidth(3, 60);
    auto *right = new QWidget(split);
    auto *rl = new QVBoxLayout(right);
    rl->setContentsMargins(0, 0, 0, 0);
    m_grades = makeTable({QStringLiteral("#IDS_Quality_Parameter"), QStringLiteral("#IDS_Quality_Name"),
                          QStringLiteral("#IDS_Quality_Grade")},
                         right, QStringLiteral("tableGrades"));
    m_grades->setColumnWidth(0, 130);
    m_grades->setColumnWidth(1, 200);
    rl->addWidget(m_grades, 3);
    auto *chart = new QChart;
    chart->legend()->hide();
    chart->setTitle(kxTr(QStringLiteral("#IDS_Quality_Trend")));
    m_trend = new QLineSeries(chart);
    m_trend->setPointsVisible(true);
    chart->addSeries(m_trend);
    auto *x = new QValueAxis(chart);
    x->setLabelFormat(QStringLiteral("%d"));
    // Grades as numbers, 4 (A) at the top: the table beside names the letters.
    auto *yAxis = new QValueAxis(chart);
    yAxis->setRange(0, 4);
    yAxis->setTickCount(5);
    yAxis->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(yAxis, Qt::AlignLeft);
    m_trend->attachAxis(x);
    m_trend->attachAxis(yAxis);
    m_chart = new QChartView(chart, right);
    m_chart->setObjectName(QStringLiteral("chartTrend"));
    m_chart->setRenderHint(QPainter::Antialiasing);
    m_chart->setMinimumHeight(180);
    rl->addWidget(m_chart, 2);
    split->addWidget(m_codes);
    split->addWidget(right);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    layout->addWidget(split, 1);
    auto *close = addButton(QStringLiteral("#IDS_Close"));
    close->setObjectName(QStringLiteral("btnClose"));
    connect(close, &QPushButton::clicked, this, &QualityDlg::reject);
    connect(m_clear, &QPushButton::clicked, this, [this] {
        m_report.clear();
        refreshCodes();
    });
    connect(m_export, &QPushButton::clicked, this, &QualityDlg::exportClicked);
    connect(m_codes, &QTableWidget::currentCellChanged, this, [this](int row) { showCode(row); });
    if (connector)
        connect(connector, &KxDeviceConnector::batBarcodeReceived, this,
                [this](const QList<STRUCT_BARCODE_INFO> &batch, bool) { addResults(batch); });
    resize(1000, 600);
    refreshCodes();
}

void QualityDlg::addResults(const QList<STRUCT_BARCODE_INFO> &batch)
{
    if (m_report.add(batch) > 0)
        refreshCodes();
}

void QualityDlg::refreshCodes()
{
    const QVector<QualityCode> &codes = m_report.codes();
    const int current = qMax(0, m_codes->currentRow());
    m_codes->setRowCount(codes.size());
    for (int r = 0; r < codes.size(); ++r) {
        const QualityRead &last = codes[r].reads.last();
        const QStringList cells = {codes[r].symbology, QString::fromUtf8(codes[r].data), last.standard,
                                   QualityReport::letter(last.overall()), QString::number(codes[r].reads.size())};
        for (int c = 0; c < cells.size(); ++c)
            m_codes->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
    m_export->setEnabled(!codes.isEmpty());
    m_clear->setEnabled(!codes.isEmpty());
    if (!codes.isEmpty() && m_codes->currentRow() < 0)
        m_codes->setCurrentCell(qMin(current, codes.size() - 1), 0);
    showCode(m_codes->currentRow());
}

void QualityDlg::showCode(int row)
{
    const QVector<QualityCode> &codes = m_report.codes();
    m_trend->clear();
    if (row < 0 || row >= codes.size()) {
        m_grades->setRowCount(0);
        return;
    }
    const QualityCode &code = codes[row];
    const QualityRead &last = code.reads.last();
    m_grades->setRowCount(last.grades.size());
    for (int r = 0; r < last.grades.size(); ++r) {
        const QualityGrade &g = last.grades[r];
        m_grades->setItem(r, 0, new QTableWidgetItem(g.name));
        m_grades->setItem(r, 1, new QTableWidgetItem(kxTr(QStringLiteral("#IDS_BQ_") + g.key)));
        m_grades->setItem(r, 2, new QTableWidgetItem(QStringLiteral("%1 (%2)").arg(QualityReport::letter(g.grade)).arg(g.grade)));
    }
    for (int i = 0; i < code.reads.size(); ++i)
        m_trend->append(i + 1, qMax(0, code.reads[i].overall()));
    if (auto *x = qobject_cast<QValueAxis *>(m_chart->chart()->axes(Qt::Horizontal).value(0)))
        x->setRange(1, qMax(2, code.reads.size()));
}

bool QualityDlg::exportPdf(const QString &path)
{
    QString error;
    const QString reader = m_connector ? m_connector->productName() + QLatin1Char(' ') + m_connector->deviceId() : QString();
    QHash<QString, QString> texts;
    texts.insert(QStringLiteral("reads"), kxTr(QStringLiteral("#IDS_Quality_Reads")));
    for (const QualityCode &c : m_report.codes())
        for (const QualityGrade &g : c.reads.last().grades)
            texts.insert(g.key, kxTr(QStringLiteral("#IDS_BQ_") + g.key));
    if (!m_report.writePdf(path, kxTr(QStringLiteral("#IDS_Quality_Title")), reader, texts, &error)) {
        KxUi()->error(kxTr(QStringLiteral("#IDS_Sync_SaveFailed")).arg(error), QStringLiteral("#IDS_Tips"), this);
        return false;
    }
    KxUi()->toast(kxTr(QStringLiteral("#IDS_Sync_Saved")).arg(QDir::toNativeSeparators(path)), 3000, this);
    return true;
}

void QualityDlg::exportClicked()
{
    const QString name = QStringLiteral("code-quality-%1.pdf")
                             .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString path = KxUi()->getSaveFileName(kxTr(QStringLiteral("#IDS_Quality_ExportPdf")),
                                                 QDir::home().filePath(name), QStringLiteral("PDF (*.pdf)"), this);
    if (!path.isEmpty())
        exportPdf(path);
}
