#include "KxComboBox.h"

#include "KxOptionList.h"

#include <QComboBox>

QWidget *KxComboBox::editorWidget() const
{
    return m_combo;
}

bool KxComboBox::createEditor(QWidget *parent)
{
    m_combo = new QComboBox(parent);
    setWidthRange(m_combo, 100, -1);
    setHeightRange(m_combo, -1, 28);
    m_combo->setMaximumHeight(28);
    // Sized to its entries when first shown. AdjustToContents would build each combo box's
    // popup (a list view in a frame) at once, which made long pages several times slower.
    m_combo->setSizeAdjustPolicy(QComboBox::AdjustToContentsOnFirstShow);
    m_mustSelect = textAttr(QStringLiteral("MustSelect")) == QLatin1String("1");

    const KxItemInfo *it = item();
    if (!it->limit.isEmpty()) {
        // Allowed keys: the options the limit admits (single values and numeric ranges).
        const KxLimit limit = KxLimit::parse(it->limit);
        for (const KxFeatureInfo &f : it->options()) {
            if (limit.allows(f.key))
                m_allowed.append(f.key);
        }
        if (m_allowed.isEmpty())
            m_allowed.append(QString()); // a limit admitting nothing offers nothing
    }
    if (!it->stringListHide.isEmpty()) {
        m_hidden = it->stringListHide.split(QLatin1Char('|'));
        m_hidden.removeAll(it->value.toString());
    }
    fill(it->options());
    setValue(it->value);
    connect(m_combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &KxComboBox::onIndexChanged);
    return KxControlBase::createEditor(parent);
}

void KxComboBox::fill(const QList<KxFeatureInfo> &options)
{
    const QString current = m_combo->currentText();
    const bool blocked = m_combo->blockSignals(true);
    m_combo->clear();
    for (const KxFeatureInfo &f : options) {
        if (m_hidden.contains(f.key))
            continue;
        if (!m_allowed.isEmpty() && !m_allowed.contains(f.key))
            continue;
        m_combo->addItem(f.text.toString(), f.key);
    }
    const int idx = m_combo->findText(current);
    if (idx >= 0)
        m_combo->setCurrentIndex(idx);
    m_combo->setToolTip(m_combo->currentText());
    m_combo->blockSignals(blocked);
}

bool KxComboBox::setOptions(const QVariant &list)
{
    if (list.userType() != QMetaType::QVariantList)
        return false;
    if (!m_combo)
        return true;
    fill(kxFromVariantList(list));
    if (m_combo->isVisible()) {
        // The size was taken from the entries at the first show: new entries need it again.
        m_combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        m_combo->updateGeometry();
    }
    return true;
}

void KxComboBox::setValue(const QVariant &v)
{
    KxControlBase::setValue(v);
    if (!m_combo)
        return;
    const bool blocked = m_combo->blockSignals(true);
    int idx = -1;
    const QString key = v.toString();
    for (int i = 0; i < m_combo->count(); ++i) {
        if (m_combo->itemData(i).toString() == key) {
            idx = i;
            break;
        }
    }
    if (idx < 0 && m_mustSelect && m_combo->count() > 0)
        idx = 0;
    if (idx >= 0)
        m_combo->setCurrentIndex(idx);
    m_combo->setToolTip(m_combo->currentText());
    m_combo->blockSignals(blocked);
}

QVariant KxComboBox::value() const
{
    if (!m_combo)
        return QVariant();
    return m_combo->currentData().toString();
}

QVariant KxComboBox::displayValue() const
{
    return m_combo ? QVariant(m_combo->currentText()) : QVariant();
}

void KxComboBox::onIndexChanged(int)
{
    m_combo->setToolTip(m_combo->currentText());
    notifyValueChanged(true);
}
