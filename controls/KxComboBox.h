#pragma once
// Option list as a combo box: options from the item, narrowed by Limit, some hidden by
// StringListHide (the stored value always stays offered).
#include "KxControlBase.h"

#include <QComboBox>
#include <QPointer>
#include <QStringList>

class QComboBox;

class KxComboBox : public KxControlBase
{
    Q_OBJECT
public:
    using KxControlBase::KxControlBase;

    QWidget *editorWidget() const override;
    void setValue(const QVariant &v) override;
    QVariant value() const override;
    QVariant displayValue() const override;
    bool setOptions(const QVariant &list) override;
    bool createEditor(QWidget *parent) override;

    QComboBox *comboBox() const { return m_combo; }
    bool mustSelect() const { return m_mustSelect; }
    QStringList hiddenKeys() const { return m_hidden; }

private:
    void fill(const QList<struct KxFeatureInfo> &options);
    void onIndexChanged(int index);

    QPointer<QComboBox> m_combo;
    bool m_mustSelect = false;
    QStringList m_allowed;
    QStringList m_hidden;
};
