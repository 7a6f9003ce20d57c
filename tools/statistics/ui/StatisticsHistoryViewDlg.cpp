#include "StatisticsHistoryViewDlg.h"

#include "KxI18nUtil.h"
#include "KxStyledButtons.h"
#include "StatisticsHistory.h"
#include "StatisticsTrendChart.h"

#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

StatisticsHistoryViewDlg::StatisticsHistoryViewDlg(const QString &title, const QString &path, QWidget *parent)
    : NDialogEx(parent)
{
    setObjectName(QStringLiteral("StatisticsHistoryViewDlg"));
    setTitle(QStringLiteral("%1 - %2").arg(kxTr(QStringLiteral("#IDS_Statistics_History")), title));
    auto *layout = new QVBoxLayout(contentWidget());
    auto *file = new QLabel(QStringLiteral("%1: %2").arg(kxTr(QStringLiteral("#IDS_Statistics_HistoryFile")),
                                                          QDir::toNativeSeparators(path)),
                            contentWidget());
    file->setObjectName(QStringLiteral("labHistoryFile"));
    file->setWordWrap(true);
    file->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(file);
    m_chart = new StatisticsTrendChart(contentWidget());
    m_chart->setMinimumSize(560, 260);
    layout->addWidget(m_chart, 1);
    m_text = new QPlainTextEdit(contentWidget());
    m_text->setObjectName(QStringLiteral("textHistory"));
    m_text->setReadOnly(true);
    m_text->setMinimumHeight(140);
    layout->addWidget(m_text);
    if (StatisticsHistory::readLines(path, &m_lines) && !m_lines.isEmpty()) {
        m_text->setPlainText(m_lines.join(QLatin1Char('\n')));
        m_chart->setPoints(StatisticsHistory::trend(
            StatisticsHistory::parse(m_lines),
            QDateTime::currentDateTime().addSecs(-3600 * StatisticsTrendChart::kShiftHours)));
    } else {
        m_text->setPlainText(kxTr(QStringLiteral("#IDS_Statistics_NoHistory")));
    }
    KxPushButton *ok = addButton(QStringLiteral("#IDS_OK"), 1);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    fitToWidth(640);
}
