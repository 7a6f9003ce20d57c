#include "QuickTestSummaryDlg.h"

#include "KxI18nUtil.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtCharts/QBarCategoryAxis>
#include <QtCharts/QBarSeries>
#include <QtCharts/QBarSet>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QValueAxis>

using namespace QtCharts;

namespace {
constexpr int kThumb = 96;
}  // namespace

QuickTestSummaryDlg::QuickTestSummaryDlg(const QuickTestSummary &summary, QWidget *parent)
    : QDialog(parent), m_summary(summary)
{
    setObjectName(QStringLiteral("QuickTestSummaryDlg"));
    setWindowTitle(kxTr(QStringLiteral("#IDS_TestSummary")));
    auto *layout = new QVBoxLayout(this);

    auto *title = new QLabel(summary.title, this);
    QFont bold = title->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 2);
    title->setFont(bold);
    layout->addWidget(title);
    const double rate = summary.rate();
    m_rate = new QLabel(kxTr(QStringLiteral("#IDS_TestSummary_Rate"))
                            .arg(summary.attempts)
                            .arg(summary.good)
                            .arg(summary.noRead)
                            .arg(rate < 0 ? QStringLiteral("-") : QString::number(rate, 'f', 1)),
                        this);
    m_rate->setObjectName(QStringLiteral("rate"));
    m_rate->setWordWrap(true);
    layout->addWidget(m_rate);

    auto *timesBox = new QGroupBox(kxTr(QStringLiteral("#IDS_TestSummary_Times")), this);
    auto *timesLayout = new QVBoxLayout(timesBox);
    const QVector<QuickTestSummary::Bin> bins = summary.distribution();
    if (bins.isEmpty()) {
        timesLayout->addWidget(new QLabel(kxTr(QStringLiteral("#IDS_TestSummary_NoTimes")), timesBox));
    } else {
        auto *set = new QBarSet(kxTr(QStringLiteral("#IDS_TestSummary_Reads")));
        set->setColor(QColor(0x0c, 0x34, 0x84));
        QStringList labels;
        int most = 0;
        for (const QuickTestSummary::Bin &b : bins) {
            *set << b.count;
            most = qMax(most, b.count);
            labels << QStringLiteral("%1-%2").arg(b.from).arg(b.to);
        }
        auto *series = new QBarSeries;
        series->append(set);
        auto *chart = new QChart;
        chart->addSeries(series);
        chart->legend()->hide();
        chart->setMargins(QMargins(4, 4, 4, 4));
        auto *x = new QBarCategoryAxis;
        x->append(labels);
        x->setTitleText(kxTr(QStringLiteral("#IDS_TestSummary_Ms")));
        chart->addAxis(x, Qt::AlignBottom);
        series->attachAxis(x);
        auto *y = new QValueAxis;
        y->setRange(0, most);
        y->setLabelFormat(QStringLiteral("%d"));
        y->applyNiceNumbers();
        chart->addAxis(y, Qt::AlignLeft);
        series->attachAxis(y);
        m_chart = new QChartView(chart, timesBox);
        m_chart->setObjectName(QStringLiteral("timesChart"));
        m_chart->setRenderHint(QPainter::Antialiasing);
        m_chart->setMinimumSize(420, 200);
        timesLayout->addWidget(m_chart);
    }
    layout->addWidget(timesBox, 1);

    auto *imagesBox = new QGroupBox(kxTr(QStringLiteral("#IDS_TestSummary_NoReadImages")), this);
    auto *imagesLayout = new QHBoxLayout(imagesBox);
    if (summary.images.isEmpty()) {
        auto *none = new QLabel(kxTr(summary.imagesPossible ? QStringLiteral("#IDS_TestSummary_NoImagesKept")
                                                            : QStringLiteral("#IDS_TestSummary_NoImageReader")),
                                imagesBox);
        none->setObjectName(QStringLiteral("noImages"));
        none->setWordWrap(true);
        imagesLayout->addWidget(none);
    } else {
        m_images = new QListWidget(imagesBox);
        m_images->setObjectName(QStringLiteral("noReadImages"));
        m_images->setViewMode(QListView::IconMode);
        m_images->setIconSize(QSize(kThumb, kThumb));
        m_images->setMovement(QListView::Static);
        m_images->setFixedWidth(kThumb * 2 + 40);
        for (int i = 0; i < summary.images.size(); ++i) {
            auto *item = new QListWidgetItem(
                QIcon(QPixmap::fromImage(summary.images[i].scaled(kThumb, kThumb, Qt::KeepAspectRatio))),
                QString::number(i + 1), m_images);
            item->setData(Qt::UserRole, i);
        }
        m_preview = new QLabel(imagesBox);
        m_preview->setObjectName(QStringLiteral("imagePreview"));
        m_preview->setMinimumSize(320, 240);
        m_preview->setAlignment(Qt::AlignCenter);
        connect(m_images, &QListWidget::currentRowChanged, this, [this](int row) {
            if (row < 0 || row >= m_summary.images.size())
                return;
            m_preview->setPixmap(QPixmap::fromImage(m_summary.images[row].scaled(
                m_preview->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        });
        imagesLayout->addWidget(m_images);
        imagesLayout->addWidget(m_preview, 1);
        m_images->setCurrentRow(0);
    }
    layout->addWidget(imagesBox, 1);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *close = buttons->addButton(kxTr(QStringLiteral("#IDS_Close")), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("btnClose"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(760, 620);
}

QList<int> QuickTestSummaryDlg::barCounts() const
{
    QList<int> out;
    if (!m_chart)
        return out;
    const auto series = m_chart->chart()->series();
    if (series.isEmpty())
        return out;
    auto *bars = qobject_cast<QBarSeries *>(series.first());
    if (!bars || bars->barSets().isEmpty())
        return out;
    QBarSet *set = bars->barSets().first();
    for (int i = 0; i < set->count(); ++i)
        out << int(set->at(i));
    return out;
}
