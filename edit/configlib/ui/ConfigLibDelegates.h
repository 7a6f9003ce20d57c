#pragma once
// Cell editors of the configuration-set table. Each commits as soon as its value changes, so a
// set's change goes to the reader without leaving the cell. The value a cell stands for is kept
// in ValueRole; the text shown is the display role.
#include <QPair>
#include <QStyledItemDelegate>

class CEComboBoxDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    static constexpr int ValueRole = Qt::UserRole + 1;
    // Shown text and value of each option.
    using Options = QList<QPair<QString, QVariant>>;

    explicit CEComboBoxDelegate(Options options, QObject *parent = nullptr);
    const Options &options() const { return m_options; }
    QString textOf(const QVariant &value) const;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;

private slots:
    void on_commitEditor(int);

private:
    Options m_options;
};

class CESpinBoxDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    CESpinBoxDelegate(int minimum, int maximum, int step, QObject *parent = nullptr);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;

private slots:
    void on_commitEditor(int);

private:
    int m_min;
    int m_max;
    int m_step;
};

// Task numbers: editable only in a set that has an image group (the cell's DisabledRole).
class CETaskNoDelegate : public CEComboBoxDelegate
{
    Q_OBJECT
public:
    static constexpr int DisabledRole = Qt::UserRole + 2;
    explicit CETaskNoDelegate(QObject *parent = nullptr);
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
};
