#include "StatisticsDeviceList.h"

#include "KxDeviceConfigs.h"
#include "KxI18nUtil.h"
#include "StatisticsReader.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

StatisticsDeviceItem::StatisticsDeviceItem(const QString &deviceId, const KxDeviceInfoMap &info, QWidget *parent)
    : QFrame(parent), m_deviceId(deviceId), m_info(info)
{
    setObjectName(QStringLiteral("StatisticsDeviceItem"));
    setCursor(Qt::PointingHandCursor);
    setStyleSheet(QStringLiteral("#StatisticsDeviceItem{background:#ffffff; border:1px solid #dbdbdb;}"
                                 " QLabel{font-size:12px; color:#262626;}"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(8, 6, 8, 6);
    row->setSpacing(8);
    // The model's picture from its description, as the device list shows it.
    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("labPicture"));
    picture->setFixedSize(48, 48);
    picture->setAlignment(Qt::AlignCenter);
    KxDeviceConfigs *configs = KxDeviceConfigs::instance();
    QString icon = configs->deviceIcon(productName());
    if (icon.isEmpty())
        icon = configs->unknownDeviceIcon();
    const QPixmap pm(icon);
    if (!pm.isNull())
        picture->setPixmap(pm.scaled(48, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    row->addWidget(picture, 0, Qt::AlignTop);
    auto *layout = new QVBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    row->addLayout(layout, 1);
    m_name = new QLabel(productName(), this);
    m_name->setObjectName(QStringLiteral("labName"));
    m_name->setStyleSheet(QStringLiteral("font-size:13px; font-weight:bold; color:#0c3484;"));
    layout->addWidget(m_name);
    auto *address = new QLabel(this);
    address->setObjectName(QStringLiteral("labAddress"));
    address->setTextFormat(Qt::RichText);
    const QString a = addressText();
    const int colon = a.indexOf(QLatin1Char(':'));
    address->setText(QStringLiteral("%1<span style=\"color:#16a34a\">%2</span>")
                         .arg(a.left(colon + 1).toHtmlEscaped(), a.mid(colon + 1).toHtmlEscaped()));
    layout->addWidget(address);
    // Captions of the language files end in a colon or not; show each with exactly one.
    const auto caption = [](const QString &key) {
        QString t = kxTr(key).trimmed();
        while (t.endsWith(QLatin1Char(':')) || t.endsWith(QChar(0xff1a)))
            t.chop(1);
        return t + QStringLiteral(": ");
    };
    layout->addWidget(new QLabel(caption(QStringLiteral("#IDS_SerialNumber")) + info.value(QStringLiteral("Serial Number")), this));
    layout->addWidget(new QLabel(caption(QStringLiteral("#IDS_FirmwareVersion")) + info.value(QStringLiteral("Firmware Version")), this));
}

QString StatisticsDeviceItem::productName() const
{
    return StatisticsReader::productNameOf(m_info);
}

QString StatisticsDeviceItem::addressText() const
{
    const QString ip = m_info.value(QStringLiteral("Ip Address"));
    if (!ip.isEmpty())
        return QStringLiteral("IP:") + ip;
    // A serial reader's id ends in its port, "...:COM3" or "...:/dev/pts/4".
    const int at = m_deviceId.lastIndexOf(QLatin1String(":COM"));
    QString port = at >= 0 ? m_deviceId.mid(at + 4) : m_info.value(QStringLiteral("COM Port"));
    return QStringLiteral("COM:%1").arg(port);
}

void StatisticsDeviceItem::setTitle(const QString &title)
{
    m_name->setText(title.isEmpty() ? productName() : title);
}

void StatisticsDeviceItem::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit clicked(m_deviceId);
    QFrame::mousePressEvent(event);
}

StatisticsDeviceList::StatisticsDeviceList(QWidget *parent) : QScrollArea(parent)
{
    setObjectName(QStringLiteral("StatisticsDeviceList"));
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    auto *inner = new QWidget(this);
    m_layout = new QVBoxLayout(inner);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(6);
    m_layout->addStretch(1);
    setWidget(inner);
}

StatisticsDeviceItem *StatisticsDeviceList::addDevice(const QString &deviceId, const KxDeviceInfoMap &info)
{
    auto *item = new StatisticsDeviceItem(deviceId, info, widget());
    m_layout->insertWidget(m_layout->count() - 1, item);
    connect(item, &StatisticsDeviceItem::clicked, this, &StatisticsDeviceList::deviceClicked);
    return item;
}

QList<StatisticsDeviceItem *> StatisticsDeviceList::items() const
{
    return widget()->findChildren<StatisticsDeviceItem *>(QString(), Qt::FindDirectChildrenOnly);
}

StatisticsOverview::StatisticsOverview(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("StatisticsOverview"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *title = new QLabel(kxTr(QStringLiteral("#IDS_Statistics_Overview")), this);
    title->setStyleSheet(QStringLiteral("font-size:13px; font-weight:bold; color:#262626;"));
    layout->addWidget(title);
    m_table = new QTableWidget(0, 3, this);
    m_table->setObjectName(QStringLiteral("tableOverview"));
    m_table->setHorizontalHeaderLabels({kxTr(QStringLiteral("#IDS_Statistics_Reader")),
                                        kxTr(QStringLiteral("#IDS_DecodeSuccessRate")),
                                        kxTr(QStringLiteral("#IDS_Total"))});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    // Sized once per refresh: sizing to contents on every cell change measured every row each
    // time, which stalled the window for tens of milliseconds with 32 readers.
    m_table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Interactive);
    m_table->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Interactive);
    m_table->setStyleSheet(QStringLiteral("QTableWidget{background:#ffffff; font-size:12px;}"));
    layout->addWidget(m_table);
    connect(m_table, &QTableWidget::cellClicked, this, [this](int row, int) {
        if (row >= 0 && row < m_order.size())
            emit deviceClicked(m_order[row]);
    });
}

void StatisticsOverview::refresh(const QList<StatisticsReader *> &readers,
                                const QMap<StatisticsReader *, QString> &titles)
{
    QList<StatisticsReader *> ranked = readers;
    auto rate = [](const StatisticsReader *r) {
        const StatisticsCounts c = r->counts();
        return c.total > 0 ? double(c.success) / double(c.total) : 0.0;
    };
    std::stable_sort(ranked.begin(), ranked.end(), [&](StatisticsReader *a, StatisticsReader *b) {
        const bool ca = a->hasCounts() && a->counts().total > 0;
        const bool cb = b->hasCounts() && b->counts().total > 0;
        if (ca != cb)
            return ca;
        return ca && rate(a) < rate(b);
    });
    m_order.clear();
    m_table->setRowCount(ranked.size());
    for (int row = 0; row < ranked.size(); ++row) {
        StatisticsReader *r = ranked[row];
        m_order << r->deviceId();
        const bool counted = r->hasCounts() && r->counts().total > 0;
        const QStringList cells = {titles.value(r, r->deviceId()), counted ? r->figures().rate : QStringLiteral("-"),
                                   counted ? r->figures().total : QStringLiteral("-")};
        for (int col = 0; col < 3; ++col) {
            QTableWidgetItem *item = m_table->item(row, col);
            if (!item) {
                item = new QTableWidgetItem;
                m_table->setItem(row, col, item);
            }
            item->setText(cells[col]);
            // The worst reader is the first row: marked so it is seen at a glance.
            item->setForeground(row == 0 && counted && ranked.size() > 1 ? QColor(QStringLiteral("#c62828"))
                                                                          : QColor(QStringLiteral("#262626")));
        }
    }
    m_table->resizeColumnToContents(1);
    m_table->resizeColumnToContents(2);
}
