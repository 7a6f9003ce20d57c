#include "ConfigLibDialogs.h"

#include "ConfigLib.h"
#include "ConfigLibPropertyWidget.h"
#include "KxI18nUtil.h"
#include "KxStyledButtons.h"
#include "KxUiService.h"

#include <QCheckBox>
#include <QListWidget>
#include <QVBoxLayout>

namespace ConfigLibEnableDlg {

bool run(ConfigLib *set, QWidget *parent)
{
    if (!set)
        return false;
    const KxMessageResult r = KxUi()->question(kxTr(QStringLiteral("#IDS_ConfigEnableTips")).arg(set->name()),
                                               QStringLiteral("#IDS_ConfigLibEnableTitle"),
                                               QStringLiteral("#IDS_Enable|#IDS_Disable|Cancel"), parent);
    int wanted = -1;
    if (r.key == QLatin1String("#IDS_Enable"))
        wanted = 1;
    else if (r.key == QLatin1String("#IDS_Disable"))
        wanted = 0;
    if (wanted < 0 || wanted == int(set->isEnabled()))
        return false;
    set->setValue(ConfigLib::KeyEnable, wanted, true);
    return true;
}

}  // namespace ConfigLibEnableDlg

namespace ConfigLibRenameDlg {

bool run(ConfigLib *set, const QStringList &otherNames, QWidget *parent)
{
    if (!set)
        return false;
    QString text = set->name();
    // A refused name asks again with what was typed, as a dialog that stays open would.
    for (;;) {
        KxInputRequest request;
        request.title = QStringLiteral("#IDS_ChangeConfigName");
        request.label = QStringLiteral("#IDS_ConfigName");
        request.text = text;
        request.maxLength = 64;
        request.allowEmpty = true;
        request.parent = parent;
        const KxInputResult answer = KxUi()->getText(request);
        if (!answer.ok)
            return false;
        QString cleaned;
        const QString problem = ConfigLibRecord::checkName(answer.text, otherNames, &cleaned);
        if (problem.isEmpty()) {
            if (cleaned == set->name())
                return false;
            set->setValue(ConfigLib::KeyName, cleaned, true);
            return true;
        }
        KxUi()->toast(kxTr(problem), 3000, parent);
        text = answer.text;
    }
}

}  // namespace ConfigLibRenameDlg

TablePopupDlg::TablePopupDlg(ConfigLib *set, const QString &family, const QList<Entry> &entries, QWidget *parent)
    : NDialogEx(parent), m_set(set)
{
    setObjectName(QStringLiteral("TablePopupDlg"));
    setTitle(kxTr(family == QLatin1String("1D") ? QStringLiteral("#IDS_Read1DCode") : QStringLiteral("#IDS_Read2DCode"))
             + QStringLiteral(" - ") + (set ? set->name() : QString()));
    auto *layout = new QVBoxLayout(contentWidget());
    layout->setContentsMargins(16, 12, 16, 12);
    m_all = new QCheckBox(kxTr(QStringLiteral("#IDS_SelectAll")), contentWidget());
    m_all->setObjectName(QStringLiteral("cbxSelectAll"));
    m_list = new QListWidget(contentWidget());
    m_list->setObjectName(QStringLiteral("listCodes"));
    // Room around each box, so the indicator is drawn whole.
    m_list->setStyleSheet(QStringLiteral("QListWidget{font-size:14px;} QListWidget::item{padding:4px 2px;}"));
    m_list->setSpacing(1);
    for (const Entry &e : entries) {
        auto *item = new QListWidgetItem(e.title, m_list);
        item->setData(Qt::UserRole, e.code);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(e.on ? Qt::Checked : Qt::Unchecked);
    }
    layout->addWidget(m_all);
    layout->addWidget(m_list, 1);
    syncSelectAll();
    connect(m_all, &QCheckBox::clicked, this, [this](bool on) {
        for (int i = 0; i < m_list->count(); ++i)
            m_list->item(i)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    });
    connect(m_list, &QListWidget::itemChanged, this, &TablePopupDlg::syncSelectAll);
    connect(addButton(QStringLiteral("#IDS_Cancel")), &QPushButton::clicked, this, &QDialog::reject);
    connect(addButton(QStringLiteral("#IDS_OK"), 1), &QPushButton::clicked, this, &TablePopupDlg::applyAndClose);
    setFixedSize(360, family == QLatin1String("1D") ? 600 : 300);
}

void TablePopupDlg::syncSelectAll()
{
    int on = 0;
    for (int i = 0; i < m_list->count(); ++i)
        on += m_list->item(i)->checkState() == Qt::Checked;
    const QSignalBlocker block(m_all);
    m_all->setTristate(on > 0 && on < m_list->count());
    m_all->setCheckState(on == 0 ? Qt::Unchecked : on == m_list->count() ? Qt::Checked : Qt::PartiallyChecked);
}

QMap<QString, QVariant> TablePopupDlg::chosen() const
{
    QMap<QString, QVariant> out;
    for (int i = 0; i < m_list->count(); ++i) {
        const QListWidgetItem *item = m_list->item(i);
        out.insert(item->data(Qt::UserRole).toString(),
                   item->checkState() == Qt::Checked ? QStringLiteral("1") : QStringLiteral("0"));
    }
    return out;
}

void TablePopupDlg::applyAndClose()
{
    if (m_set) {
        QMap<QString, QVariant> changed;
        const QMap<QString, QVariant> wanted = chosen();
        for (auto it = wanted.cbegin(); it != wanted.cend(); ++it) {
            const QVariant now = m_set->read(it.key());
            if (now.type() == QVariant::Bool || now.toString() != it.value().toString())
                changed.insert(it.key(), it.value());
        }
        if (!changed.isEmpty())
            m_set->setValues(changed, true);
    }
    accept();
}

ConfigLibItemsPopup::ConfigLibItemsPopup(ConfigLib *set, std::unique_ptr<KxPagesInfo> pages,
                                         const QStringList &codes,
                                         std::function<QString(const QString &)> running,
                                         const QString &titleKey, QWidget *parent)
    : NDialogEx(parent)
{
    setTitle(kxTr(titleKey) + QStringLiteral(" - ") + (set ? set->name() : QString()));
    auto *layout = new QVBoxLayout(contentWidget());
    layout->setContentsMargins(12, 8, 12, 8);
    m_properties = new ConfigLibPropertyWidget(set, std::move(pages), codes, std::move(running), contentWidget());
    layout->addWidget(m_properties, 1);
    connect(addButton(QStringLiteral("#IDS_Close"), 1), &QPushButton::clicked, this, &QDialog::accept);
    setMinimumWidth(520);
    adjustSize();
}
