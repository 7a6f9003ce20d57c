#include "ConfigLibDelegates.h"

#include "ConfigLibRows.h"

#include <QComboBox>
#include <QSpinBox>

CEComboBoxDelegate::CEComboBoxDelegate(Options options, QObject *parent)
    : QStyledItemDelegate(parent), m_options(std::move(options))
{
}

QString CEComboBoxDelegate::textOf(const QVariant &value) const
{
    for (const auto &o : m_options) {
        if (o.second.toString() == value.toString())
            return o.first;
    }
    return value.toString();
}

QWidget *CEComboBoxDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                          const QModelIndex &) const
{
    auto *box = new QComboBox(parent);
    for (const auto &o : m_options)
        box->addItem(o.first, o.second);
    return box;
}

void CEComboBoxDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *box = static_cast<QComboBox *>(editor);
    const QSignalBlocker block(box);
    const QString value = index.data(ValueRole).toString();
    int at = 0;
    for (int i = 0; i < box->count(); ++i) {
        if (box->itemData(i).toString() == value)
            at = i;
    }
    box->setCurrentIndex(at);
    // Connected after the value is set, so only the user's choice commits.
    connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CEComboBoxDelegate::on_commitEditor, Qt::UniqueConnection);
}

void CEComboBoxDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    auto *box = static_cast<QComboBox *>(editor);
    if (box->currentIndex() < 0)
        return;
    // The value first: each setData refills the open editor from the model.
    const QString text = box->currentText();
    const QVariant value = box->currentData();
    model->setData(index, value, ValueRole);
    model->setData(index, text, Qt::DisplayRole);
}

void CEComboBoxDelegate::on_commitEditor(int)
{
    if (auto *editor = qobject_cast<QWidget *>(sender()))
        emit commitData(editor);
}

CESpinBoxDelegate::CESpinBoxDelegate(int minimum, int maximum, int step, QObject *parent)
    : QStyledItemDelegate(parent), m_min(minimum), m_max(maximum), m_step(qMax(1, step))
{
}

QWidget *CESpinBoxDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                         const QModelIndex &) const
{
    auto *spin = new QSpinBox(parent);
    spin->setRange(m_min, m_max);
    spin->setSingleStep(m_step);
    // Typed digits commit on Enter or when the cell is left, not at every key.
    spin->setKeyboardTracking(false);
    return spin;
}

void CESpinBoxDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *spin = static_cast<QSpinBox *>(editor);
    const QSignalBlocker block(spin);
    spin->setValue(index.data(Qt::EditRole).toInt());
    connect(spin, QOverload<int>::of(&QSpinBox::valueChanged), this, &CESpinBoxDelegate::on_commitEditor,
            Qt::UniqueConnection);
}

void CESpinBoxDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    auto *spin = static_cast<QSpinBox *>(editor);
    spin->interpretText();
    model->setData(index, spin->value(), Qt::EditRole);
}

void CESpinBoxDelegate::on_commitEditor(int)
{
    if (auto *editor = qobject_cast<QWidget *>(sender()))
        emit commitData(editor);
}

namespace {
CEComboBoxDelegate::Options taskOptions()
{
    CEComboBoxDelegate::Options out;
    for (int n : ConfigLibRows::taskNumbers())
        out.append({QString::number(n), n});
    return out;
}
}  // namespace

CETaskNoDelegate::CETaskNoDelegate(QObject *parent) : CEComboBoxDelegate(taskOptions(), parent)
{
}

QWidget *CETaskNoDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                        const QModelIndex &index) const
{
    if (index.data(DisabledRole).toBool())
        return nullptr;
    return CEComboBoxDelegate::createEditor(parent, option, index);
}
