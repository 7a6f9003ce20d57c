#include "StatisticsSelectDlg.h"

#include "KxI18nUtil.h"
#include "KxStyledButtons.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

StatisticsSelectDlg::StatisticsSelectDlg(const QList<KxDeviceInfoMap> &readers, QWidget *parent)
    : NDialogEx(parent)
{
    setObjectName(QStringLiteral("StatisticsSelectDlg"));
    setTitle(QStringLiteral("#ID_STATISTICS"));
    auto *layout = new QVBoxLayout(contentWidget());
    auto *label = new QLabel(kxTr(QStringLiteral("#IDS_Statistics_SelectDevices")),
                             contentWidget());
    label->setWordWrap(true);
    layout->addWidget(label);
    m_list = new QListWidget(contentWidget());
    m_list->setObjectName(QStringLiteral("listStatisticsDevices"));
    m_list->setMinimumHeight(220);
    for (const KxDeviceInfoMap &info : readers) {
        auto *item = new QListWidgetItem(entryText(info), m_list);
        item->setData(Qt::UserRole, info.value(QStringLiteral("Device Id")));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    layout->addWidget(m_list);
    if (readers.isEmpty()) {
        auto *empty = new QLabel(kxTr(QStringLiteral("#IDS_Statistics_NoDevices")),
                                 contentWidget());
        empty->setObjectName(QStringLiteral("labNoDevices"));
        empty->setStyleSheet(QStringLiteral("color:#7a8494;"));
        layout->addWidget(empty);
    }
    KxPushButton *cancel = addButton(QStringLiteral("#IDS_Cancel"));
    m_btnOk = addButton(QStringLiteral("#IDS_OK"), KxPushButton::Primary);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_list, &QListWidget::itemChanged, this, &StatisticsSelectDlg::updateOk);
    updateOk();
    fitToWidth(420);
}

QString StatisticsSelectDlg::entryText(const KxDeviceInfoMap &info)
{
    QString name = info.value(QStringLiteral("L Alias")).trimmed();
    if (name.isEmpty())
        name = info.value(QStringLiteral("Product Name"));
    const QString sn = info.value(QStringLiteral("Serial Number"));
    return sn.isEmpty() ? name : QStringLiteral("%1  (SN: %2)").arg(name, sn);
}

QStringList StatisticsSelectDlg::selectedDeviceIds() const
{
    QStringList ids;
    for (int i = 0; i < m_list->count(); ++i) {
        if (m_list->item(i)->checkState() == Qt::Checked)
            ids << m_list->item(i)->data(Qt::UserRole).toString();
    }
    return ids;
}

void StatisticsSelectDlg::updateOk()
{
    m_btnOk->setEnabled(!selectedDeviceIds().isEmpty());
}
