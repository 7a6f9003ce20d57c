#include "StatisticsEditWidget.h"

#include "KxDeviceAlias.h"
#include "KxI18nUtil.h"
#include "KxStyledButtons.h"
#include "KxUiService.h"
#include "QStatisticsImageWidget.h"
#include "StatisticsHistoryViewDlg.h"
#include "StatisticsReader.h"
#include "StatisticsTrendChart.h"

#include <QDebug>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {
std::function<int(QDialog *)> &dialogRunner()
{
    static std::function<int(QDialog *)> runner;
    return runner;
}
}  // namespace

void StatisticsEditWidget::setDialogRunner(std::function<int(QDialog *)> runner)
{
    dialogRunner() = std::move(runner);
}

int StatisticsEditWidget::runDialog(QDialog *dlg)
{
    return dialogRunner() ? dialogRunner()(dlg) : dlg->exec();
}

StatisticsEditWidget::StatisticsEditWidget(StatisticsReader *reader, QWidget *parent)
    : QFrame(parent), m_reader(reader)
{
    setObjectName(QStringLiteral("StatisticsEditWidget"));
    setStyleSheet(QStringLiteral("#StatisticsEditWidget{background:#ffffff; border:1px solid #dbdbdb;}"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 8);
    layout->setSpacing(4);

    auto *titleRow = new QHBoxLayout;
    titleRow->setSpacing(8);
    m_model = new QLabel(this);
    m_model->setObjectName(QStringLiteral("labModel"));
    m_model->setStyleSheet(QStringLiteral("font-size:14px; font-weight:bold; color:#0c3484;"));
    m_serial = new QLabel(this);
    m_serial->setObjectName(QStringLiteral("labSerial"));
    m_serial->setStyleSheet(QStringLiteral("font-size:12px; color:#595959;"));
    titleRow->addWidget(m_model);
    titleRow->addWidget(m_serial);
    titleRow->addStretch(1);
    layout->addLayout(titleRow);
    // The tools on a row of their own, so a narrow card keeps every one of them.
    auto *toolRow = new QHBoxLayout;
    toolRow->setSpacing(6);
    const struct {
        const char *name;
        const char *key;
        void (StatisticsEditWidget::*slot)();
    } buttons[] = {
        {"toolButtonEdit", "#IDS_Statistics_Edit", &StatisticsEditWidget::onEdit},
        {"toolButtonSetBarcodeInfoField", "#IDS_Statistics_Marks", &StatisticsEditWidget::onMarks},
        {"toolButtonHistory", "#IDS_Statistics_History", &StatisticsEditWidget::onHistory},
        {"toolButtonReSet", "#IDS_Statistics_Reset", &StatisticsEditWidget::onReset},
    };
    for (const auto &b : buttons) {
        auto *tb = new KxToolButton(QString::fromLatin1(b.key), QIcon(), this);
        tb->setObjectName(QString::fromLatin1(b.name));
        tb->setToolButtonStyle(Qt::ToolButtonTextOnly);
        tb->setStyleSheet(QStringLiteral("QToolButton{font-size:12px; padding:2px 6px; border:1px solid #dbdbdb;"
                                         " background:#f9f9f9;} QToolButton:checked{background:#dbe4f5;}"
                                         " QToolButton:disabled{color:#b0b0b0;}"));
        connect(tb, &QToolButton::clicked, this, b.slot);
        toolRow->addWidget(tb);
    }
    toolRow->addStretch(1);
    layout->addLayout(toolRow);
    button(QStringLiteral("toolButtonSetBarcodeInfoField"))->setCheckable(true);
    button(QStringLiteral("toolButtonSetBarcodeInfoField"))->setChecked(QStatisticsImageWidget::marksDrawn());

    m_image = new QStatisticsImageWidget(this);
    layout->addWidget(m_image, 3);
    m_trend = new StatisticsTrendChart(this, true);
    m_trend->setMinimumHeight(120);
    m_trend->setMaximumHeight(170);
    layout->addWidget(m_trend, 2);

    connect(reader, &StatisticsReader::countsChanged, this, &StatisticsEditWidget::refreshFigures);
    connect(reader, &StatisticsReader::stateChanged, this, &StatisticsEditWidget::refreshState);
    connect(reader, &StatisticsReader::imageChanged, this, [this] {
        if (m_reader)
            m_image->setImage(m_reader->image(), m_reader->marks(), m_reader->penWidthRate(),
                              m_reader->penHeighRate());
    });
    refreshState();
    refreshFigures();
}

KxToolButton *StatisticsEditWidget::button(const QString &name) const
{
    return findChild<KxToolButton *>(name);
}

QString StatisticsEditWidget::title() const
{
    if (!m_reader)
        return QString();
    const QString alias = KxDeviceAlias::instance()->alias(m_reader->serialNumber());
    if (!alias.isEmpty())
        return alias;
    const QString name = m_reader->productName();
    return name.isEmpty() ? m_reader->deviceId() : name;
}

QString StatisticsEditWidget::shortName() const
{
    if (!m_reader)
        return QString();
    const QString alias = KxDeviceAlias::instance()->alias(m_reader->serialNumber());
    if (!alias.isEmpty())
        return alias;
    return m_reader->serialNumber().isEmpty() ? title() : m_reader->serialNumber();
}

void StatisticsEditWidget::setLocked(bool locked)
{
    button(QStringLiteral("toolButtonEdit"))->setEnabled(!locked);
    button(QStringLiteral("toolButtonReSet"))->setEnabled(!locked);
}

void StatisticsEditWidget::refreshState()
{
    if (!m_reader)
        return;
    m_model->setText(title());
    m_serial->setText(m_reader->serialNumber());
    m_image->setReady(m_reader->state() == StatisticsReader::Ready);
}

void StatisticsEditWidget::refreshFigures()
{
    if (!m_reader)
        return;
    m_image->setFigures(m_reader->figures());
    refreshTrend();
    // The latest image: only for a card on screen, and not more often than every interval.
    const bool seen = isVisible() && !visibleRegion().isEmpty();
    const QDateTime last = m_reader->imageTime();
    if (seen && (!last.isValid() || last.msecsTo(QDateTime::currentDateTime()) >= kImageIntervalMs))
        m_reader->requestImage();
}

void StatisticsEditWidget::refreshTrend()
{
    const int lines = m_reader->history().written().size();
    if (lines == m_trendLines)
        return;
    m_trendLines = lines;
    // A reader seen for the first time has no file until its first record.
    if (QFileInfo::exists(m_reader->history().path()))
        m_trend->loadHistory(m_reader->history().path());
}

void StatisticsEditWidget::onEdit()
{
    if (!m_reader)
        return;
    KxInputRequest request;
    request.title = QStringLiteral("#IDS_Statistics_Edit");
    request.label = QStringLiteral("#IDS_Statistics_Rename");
    request.text = KxDeviceAlias::instance()->alias(m_reader->serialNumber());
    request.allowEmpty = true;
    request.maxLength = 32;
    request.parent = this;
    const KxInputResult r = KxUi()->getText(request);
    if (!r.ok)
        return;
    KxDeviceAlias::instance()->setAlias(m_reader->serialNumber(), r.text.trimmed());
    refreshState();
    emit titleChanged();
}

void StatisticsEditWidget::onMarks()
{
    QStatisticsImageWidget::setMarksDrawn(button(QStringLiteral("toolButtonSetBarcodeInfoField"))->isChecked());
    m_image->update();
}

void StatisticsEditWidget::onHistory()
{
    if (!m_reader)
        return;
    StatisticsHistoryViewDlg dlg(title(), m_reader->history().path(), this);
    runDialog(&dlg);
}

void StatisticsEditWidget::onReset()
{
    if (!m_reader)
        return;
    if (!KxUi()->confirm(QStringLiteral("#IDS_Statistics_ResetConfirm"), QStringLiteral("#IDS_Tips"), this))
        return;
    QPointer<StatisticsEditWidget> self(this);
    const bool sent = m_reader->resetCounters([self](bool ok) {
        if (!ok)
            KxUi()->toast(QStringLiteral("#IDS_Statistics_ResetFailed"), 3000, self.data());
    });
    if (!sent)
        KxUi()->toast(QStringLiteral("#IDS_Statistics_ResetFailed"), 3000, this);
}

StatisticsReader *StatisticsEditWidget::reader() const
{
    return m_reader.data();
}
