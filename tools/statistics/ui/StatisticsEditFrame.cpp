#include "StatisticsEditFrame.h"

#include "KxDeviceKit.h"
#include "KxI18nUtil.h"
#include "KxStyledButtons.h"
#include "PasswordWidgets.h"
#include "StatisticsDeviceList.h"
#include "StatisticsEditWidget.h"
#include "StatisticsPassword.h"
#include "StatisticsReader.h"

#include <QDebug>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const int kCardMinWidth = 340;
}

StatisticsEditFrame::StatisticsEditFrame(QWidget *parent) : IPluginWidget(parent)
{
    setObjectName(QStringLiteral("StatisticsEditFrame"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *toolbar = new QWidget(this);
    toolbar->setObjectName(QStringLiteral("statisticsToolbar"));
    toolbar->setStyleSheet(QStringLiteral("#statisticsToolbar{background:#ffffff; border-bottom:1px solid #dbdbdb;}"));
    auto *bar = new QHBoxLayout(toolbar);
    bar->setContentsMargins(24, 8, 24, 8);
    bar->setSpacing(16);
    m_btnHome = new KxPushButton(QStringLiteral("#IDS_MainPage"), KxPushButton::Primary, toolbar);
    m_btnHome->setObjectName(QStringLiteral("Id_Btn_MainPage"));
    auto *title = new QLabel(kxTr(QStringLiteral("#ID_STATISTICS")), toolbar);
    title->setStyleSheet(QStringLiteral("font-size:16px; font-weight:bold; color:#262626;"));
    m_btnLock = new KxPushButton(QStringLiteral("#IDS_Statistics_Lock"), KxPushButton::Normal, toolbar);
    m_btnLock->setObjectName(QStringLiteral("btnLock"));
    m_btnPassword = new KxPushButton(QStringLiteral("#IDS_Statistics_ChangePassword"), KxPushButton::Normal, toolbar);
    m_btnPassword->setObjectName(QStringLiteral("btnChangePassword"));
    bar->addWidget(m_btnHome);
    bar->addWidget(title);
    bar->addStretch(1);
    bar->addWidget(m_btnLock);
    bar->addWidget(m_btnPassword);
    layout->addWidget(toolbar);

    auto *body = new QWidget(this);
    auto *h = new QHBoxLayout(body);
    h->setContentsMargins(12, 12, 12, 12);
    h->setSpacing(12);
    auto *left = new QWidget(body);
    left->setFixedWidth(250);
    auto *lv = new QVBoxLayout(left);
    lv->setContentsMargins(0, 0, 0, 0);
    auto *readersTitle = new QLabel(kxTr(QStringLiteral("#IDS_Statistics_Readers")), left);
    readersTitle->setStyleSheet(QStringLiteral("font-size:13px; font-weight:bold; color:#262626;"));
    lv->addWidget(readersTitle);
    m_list = new StatisticsDeviceList(left);
    lv->addWidget(m_list, 3);
    m_overview = new StatisticsOverview(left);
    lv->addWidget(m_overview, 2);
    h->addWidget(left);

    m_cards = new QScrollArea(body);
    m_cards->setObjectName(QStringLiteral("scrollCards"));
    m_cards->setWidgetResizable(true);
    m_cards->setFrameShape(QFrame::NoFrame);
    m_cards->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *cardsInner = new QWidget(m_cards);
    m_grid = new QGridLayout(cardsInner);
    m_grid->setContentsMargins(0, 0, 0, 0);
    m_grid->setSpacing(12);
    m_cards->setWidget(cardsInner);
    h->addWidget(m_cards, 1);
    layout->addWidget(body, 1);

    connect(m_btnHome, &QPushButton::clicked, this, &StatisticsEditFrame::onHome);
    connect(m_btnLock, &QPushButton::clicked, this, &StatisticsEditFrame::onLock);
    connect(m_btnPassword, &QPushButton::clicked, this, &StatisticsEditFrame::onPassword);
    connect(m_list, &StatisticsDeviceList::deviceClicked, this, &StatisticsEditFrame::showDevice);
    connect(m_overview, &StatisticsOverview::deviceClicked, this, &StatisticsEditFrame::showDevice);
    m_overviewTimer = new QTimer(this);
    m_overviewTimer->setSingleShot(true);
    m_overviewTimer->setInterval(500);
    connect(m_overviewTimer, &QTimer::timeout, this, &StatisticsEditFrame::refreshOverview);
    setLocked(StatisticsPassword::isLocked());
}

StatisticsEditFrame::~StatisticsEditFrame()
{
    releaseAll();
}

bool StatisticsEditFrame::openDeviceById(const QString &deviceId, const QVariant &param)
{
    Q_UNUSED(param)
    // The page is opened without one reader; the chosen ones come with activate.
    if (!deviceId.isEmpty())
        watch({deviceId});
    return true;
}

bool StatisticsEditFrame::activate(const QVariant &param)
{
    if (param.canConvert<QStringList>() && !param.toStringList().isEmpty())
        watch(param.toStringList());
    return true;
}

bool StatisticsEditFrame::deactivate(const QVariant &)
{
    releaseAll();
    return true;
}

bool StatisticsEditFrame::closing(const QVariant &)
{
    releaseAll();
    return true;
}

bool StatisticsEditFrame::checkLeave()
{
    return !m_locked || unlock();
}

void StatisticsEditFrame::releaseAll()
{
    for (StatisticsEditWidget *w : m_widgets)
        w->deleteLater();
    m_widgets.clear();
    for (StatisticsReader *r : m_readers) {
        r->stop();
        r->deleteLater();
    }
    m_readers.clear();
    for (StatisticsDeviceItem *item : m_list->items())
        item->deleteLater();
    m_overview->refresh({}, {});
}

void StatisticsEditFrame::watch(const QStringList &deviceIds)
{
    releaseAll();
    qInfo() << "StatisticsEditFrame::watch()..." << deviceIds;
    for (const QString &id : deviceIds) {
        const KxDeviceInfoMap info = KxDeviceKit::Instance()->deviceInfo(id);
        auto *reader = new StatisticsReader(id, info, this);
        m_readers << reader;
        auto *w = new StatisticsEditWidget(reader, m_cards->widget());
        w->setLocked(m_locked);
        m_widgets << w;
        StatisticsDeviceItem *item = m_list->addDevice(id, info);
        item->setTitle(w->title());
        connect(w, &StatisticsEditWidget::titleChanged, this, [this, item, w] {
            item->setTitle(w->title());
            refreshOverview();
        });
        connect(reader, &StatisticsReader::countsChanged, this, [this] {
            // Many readers answer twice a second each: rank them at most twice a second.
            if (!m_overviewTimer->isActive())
                m_overviewTimer->start();
        });
        reader->start();
    }
    m_columns = 0;
    relayout();
    refreshOverview();
}

void StatisticsEditFrame::refreshOverview()
{
    QMap<StatisticsReader *, QString> titles;
    for (StatisticsEditWidget *w : m_widgets)
        titles.insert(w->reader(), w->shortName());
    m_overview->refresh(m_readers, titles);
}

void StatisticsEditFrame::resizeEvent(QResizeEvent *event)
{
    IPluginWidget::resizeEvent(event);
    relayout();
}

void StatisticsEditFrame::relayout()
{
    const int available = m_cards->viewport()->width();
    const int columns = qBound(1, available / kCardMinWidth, qMax(1, m_widgets.size()));
    if (columns == m_columns && m_grid->count() == m_widgets.size())
        return;
    m_columns = columns;
    for (StatisticsEditWidget *w : m_widgets)
        m_grid->removeWidget(w);
    for (int i = 0; i < m_widgets.size(); ++i)
        m_grid->addWidget(m_widgets[i], i / columns, i % columns);
    // Cards fill the height when they can, and are never squeezed below what their image,
    // figures and trend need (the area scrolls instead).
    const int rows = (m_widgets.size() + columns - 1) / columns;
    for (StatisticsEditWidget *w : m_widgets) {
        w->setMinimumHeight(0);
        const int need = w->minimumSizeHint().height();
        w->setMinimumHeight(qMax(need, rows > 0 ? (m_cards->viewport()->height() - (rows - 1) * 12) / rows : need));
    }
}

void StatisticsEditFrame::showDevice(const QString &deviceId)
{
    for (StatisticsEditWidget *w : m_widgets) {
        if (w->reader() && w->reader()->deviceId() == deviceId) {
            m_cards->ensureWidgetVisible(w, 0, 0);
            return;
        }
    }
}

void StatisticsEditFrame::setLocked(bool locked)
{
    m_locked = locked;
    StatisticsPassword::setLocked(locked);
    m_btnLock->setTextKey(locked ? QStringLiteral("#IDS_Statistics_Unlock") : QStringLiteral("#IDS_Statistics_Lock"));
    for (StatisticsEditWidget *w : m_widgets)
        w->setLocked(locked);
}

bool StatisticsEditFrame::unlock()
{
    PasswordValidationWidget dlg(this);
    if (StatisticsEditWidget::runDialog(&dlg) != QDialog::Accepted)
        return false;
    setLocked(false);
    return true;
}

void StatisticsEditFrame::onHome()
{
    if (!checkLeave())
        return;
    emit signal_goHome();
}

void StatisticsEditFrame::onLock()
{
    if (m_locked)
        unlock();
    else
        setLocked(true);
}

void StatisticsEditFrame::onPassword()
{
    PasswordChangeWidget dlg(this);
    StatisticsEditWidget::runDialog(&dlg);
}
