#include "DeviceInfoWidget.h"

#include "DeviceCardWidget.h"
#include "DeviceListLogic.h"
#include "KxI18nUtil.h"
#include "KxToggleSwitch.h"
#include "KxWidgetStyle.h"

#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QScrollArea>
#include <QVBoxLayout>

DeviceInfoWidget::DeviceInfoWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("DeviceInfoWidget"));
    setStyleSheet(QStringLiteral("QLabel#labRowName{color:%1;}"
                                 "QLabel#labRowValue{color:%2;}"
                                 "QLabel#labConnect{color:%2;}"
                                 "QLabel#labRowsTitle{color:%2;font-weight:bold;"
                                 "padding-top:6px;border-bottom:1px solid #ebeef3;"
                                 "padding-bottom:6px;}"
                                 "QWidget#rowsBox{background:#ffffff;}")
                      .arg(QLatin1String(KxStyle::TextMuted), QLatin1String(KxStyle::Text)));
    m_card = new DeviceCardWidget(this);
    m_labConnect = new QLabel(kxTr(QStringLiteral("#IDS_DeviceConnect")), this);
    m_labConnect->setObjectName(QStringLiteral("labConnect"));
    m_switch = new KxToggleSwitch(this);
    m_switch->setObjectName(QStringLiteral("switchConnect"));
    connect(m_switch, &KxToggleSwitch::clicked, this,
            [this](bool checked) { emit signal_connectChanged(checked); });
    auto *connectRow = new QHBoxLayout;
    connectRow->setContentsMargins(4, 0, 4, 0);
    connectRow->addWidget(m_labConnect);
    connectRow->addStretch(1);
    connectRow->addWidget(m_switch);

    m_rowsBox = new QWidget;
    m_rowsBox->setObjectName(QStringLiteral("rowsBox"));
    m_grid = new QGridLayout(m_rowsBox);
    m_grid->setContentsMargins(4, 4, 4, 4);
    m_grid->setHorizontalSpacing(18);
    m_grid->setVerticalSpacing(8);
    m_grid->setColumnStretch(1, 1);
    m_grid->setRowStretch(200, 1);
    m_labRowsTitle = new QLabel(kxTr(QStringLiteral("#IDS_ProductInfo")), this);
    m_labRowsTitle->setObjectName(QStringLiteral("labRowsTitle"));
    m_labRowsTitle->hide();
    auto *scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(m_rowsBox);

    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(12);
    lay->addWidget(m_card);
    lay->addLayout(connectRow);
    lay->addWidget(m_labRowsTitle);
    lay->addWidget(scroll, 1);
}

void DeviceInfoWidget::setDevice(const QString &deviceId, const KxDeviceInfoMap &info)
{
    m_deviceId = deviceId;
    m_card->setDevice(deviceId, info);
    m_rows = DeviceListLogic::parseProductInfo(info.value(QStringLiteral("PRNQRY")));
    showRows();
}

void DeviceInfoWidget::clear()
{
    m_deviceId.clear();
    m_card->clear();
    m_rows.clear();
    showRows();
    setConnected(false);
}

QString DeviceInfoWidget::shownName(int row) const
{
    if (row < 0 || row >= m_rows.size())
        return QString();
    const QString key = DeviceListLogic::productInfoKey(m_rows[row].first);
    return key.isEmpty() ? m_rows[row].first : kxTr(key);
}

void DeviceInfoWidget::setActionsWidget(QWidget *actions)
{
    auto *lay = static_cast<QVBoxLayout *>(layout());
    actions->setParent(this);
    lay->insertWidget(lay->indexOf(m_labRowsTitle), actions);
}

void DeviceInfoWidget::setConnected(bool connected)
{
    const bool blocked = m_switch->blockSignals(true);
    m_switch->setChecked(connected);
    m_switch->blockSignals(blocked);
}

bool DeviceInfoWidget::isConnectedShown() const
{
    return m_switch->isChecked();
}

void DeviceInfoWidget::setConnectEnabled(bool enabled)
{
    m_switch->setEnabled(enabled);
}

int DeviceInfoWidget::visibleRowCount() const
{
    int n = 0;
    for (const auto &pair : m_rowLabels)
        n += pair.second->isVisibleTo(const_cast<DeviceInfoWidget *>(this)) ? 1 : 0;
    return n;
}

void DeviceInfoWidget::showRows()
{
    // Row widgets are kept and reused; the ones beyond the current lines are hidden.
    while (m_rowLabels.size() < m_rows.size()) {
        const int row = m_rowLabels.size();
        auto *name = new QLabel(m_rowsBox);
        name->setObjectName(QStringLiteral("labRowName"));
        auto *value = new QLabel(m_rowsBox);
        value->setObjectName(QStringLiteral("labRowValue"));
        value->setWordWrap(true);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(value, &QLabel::customContextMenuRequested, this,
                [this, row, value](const QPoint &p) { showMenu(row, value->mapToGlobal(p)); });
        for (QLabel *l : {name, value})
            l->setTextFormat(Qt::PlainText);
        m_grid->addWidget(name, row, 0, Qt::AlignLeft | Qt::AlignTop);
        m_grid->addWidget(value, row, 1, Qt::AlignTop);
        m_rowLabels.append(qMakePair(name, value));
    }
    m_labRowsTitle->setVisible(!m_rows.isEmpty());
    for (int i = 0; i < m_rowLabels.size(); ++i) {
        const bool shown = i < m_rows.size();
        m_rowLabels[i].first->setVisible(shown);
        m_rowLabels[i].second->setVisible(shown);
        if (shown) {
            m_rowLabels[i].first->setText(shownName(i));
            m_rowLabels[i].second->setText(m_rows[i].second);
        }
    }
}

void DeviceInfoWidget::showMenu(int row, const QPoint &globalPos)
{
    QMenu menu(this);
    QAction *copy = menu.addAction(kxTr(QStringLiteral("#IDS_Copy")));
    QAction *all = menu.addAction(kxTr(QStringLiteral("#ID_COPY_ALL")));
    QAction *chosen = menu.exec(globalPos);
    if (chosen == copy)
        copyValue(row);
    else if (chosen == all)
        copyAll();
}

void DeviceInfoWidget::copyValue(int row) const
{
    if (row >= 0 && row < m_rows.size())
        QApplication::clipboard()->setText(m_rows[row].second);
}

QString DeviceInfoWidget::allRowsText() const
{
    QStringList lines;
    for (const auto &r : m_rows)
        lines << r.first + QStringLiteral(": ") + r.second;
    return lines.join(QLatin1Char('\n'));
}

void DeviceInfoWidget::copyAll() const
{
    QApplication::clipboard()->setText(allRowsText());
}
