#include "KxOptionControls.h"

#include "KxControlUtil.h"
#include "KxWidgetStyle.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>

QWidget *KxOptionButtonsBase::editorWidget() const
{
    return m_box;
}

QAbstractButton *KxOptionButtonsBase::buttonForKey(const QString &key) const
{
    for (QAbstractButton *b : m_buttons) {
        if (b->objectName() == key)
            return b;
    }
    return nullptr;
}

bool KxOptionButtonsBase::buildButtons(QWidget *parent, bool exclusive)
{
    m_box = new QWidget(parent);
    auto *grid = new QGridLayout(m_box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(6);
    if (exclusive) {
        m_group = new QButtonGroup(this);
        m_group->setExclusive(true);
    }
    QList<QWidget *> widgets;
    for (const KxFeatureInfo &f : item()->options()) {
        QAbstractButton *b = makeButton(f, m_box);
        b->setObjectName(f.key);
        if (m_group)
            m_group->addButton(b);
        m_buttons.append(b);
        widgets.append(b);
    }
    KxControlUtil::placeInGrid(grid, widgets, intAttr(QStringLiteral("RowCount"), 0));
    return true;
}

QString KxOptionButtonsBase::checkedKey() const
{
    for (QAbstractButton *b : m_buttons) {
        if (b->isChecked())
            return b->objectName();
    }
    return QString();
}

void KxOptionButtonsBase::checkKey(const QString &key)
{
    QAbstractButton *target = buttonForKey(key);
    if (m_group && !target) {
        // No option for that value: show none checked.
        m_group->setExclusive(false);
        for (QAbstractButton *b : m_buttons)
            b->setChecked(false);
        m_group->setExclusive(true);
        return;
    }
    if (target)
        target->setChecked(true);
}

QVariant KxOptionButtonsBase::displayValue() const
{
    for (QAbstractButton *b : m_buttons) {
        if (b->isChecked())
            return b->text();
    }
    return QString();
}

// --- button group ---------------------------------------------------------------------------

QAbstractButton *KxButtonGroup::makeButton(const KxFeatureInfo &option, QWidget *parent)
{
    auto *b = new QPushButton(option.text.toString(), parent);
    b->setCheckable(textAttr(QStringLiteral("Checkable"), QStringLiteral("1")) != QLatin1String("0"));
    b->setCursor(Qt::PointingHandCursor);
    b->setMinimumHeight(28);
    const int width = intAttr(QStringLiteral("ItemWidth"), 0);
    if (width > 0)
        b->setFixedWidth(width);
    else
        b->setMinimumWidth(72);
    b->setStyleSheet(QStringLiteral(
        "QPushButton{background:%1;border:1px solid %2;border-radius:4px;padding:0 12px;"
        "color:#1f1f1f;}QPushButton:checked{background:%3;border-color:%3;color:#ffffff;}"
        "QPushButton:hover:!checked{border-color:%3;}QPushButton:focus{border-color:%3;}")
                         .arg(QLatin1String(KxStyle::ButtonFace), QLatin1String(KxStyle::Border),
                              QLatin1String(KxStyle::Accent)));
    return b;
}

bool KxButtonGroup::createEditor(QWidget *parent)
{
    buildButtons(parent, true);
    auto *grid = static_cast<QGridLayout *>(m_box->layout());
    grid->setHorizontalSpacing(8);
    const QString align = textAttr(QStringLiteral("Align"));
    if (align.compare(QLatin1String("Right"), Qt::CaseInsensitive) == 0)
        grid->setAlignment(Qt::AlignRight);
    else if (align.compare(QLatin1String("Center"), Qt::CaseInsensitive) == 0)
        grid->setAlignment(Qt::AlignHCenter);
    setValue(item()->value);
    connect(m_group, QOverload<QAbstractButton *>::of(&QButtonGroup::buttonClicked), this, [this]() { notifyValueChanged(true); });
    return KxControlBase::createEditor(parent);
}

void KxButtonGroup::setValue(const QVariant &v)
{
    KxControlBase::setValue(v);
    checkKey(v.toString());
}

QVariant KxButtonGroup::value() const
{
    return m_box ? QVariant(checkedKey()) : QVariant();
}

// --- check boxes ----------------------------------------------------------------------------

QAbstractButton *KxCheckBox::makeButton(const KxFeatureInfo &option, QWidget *parent)
{
    return new QCheckBox(option.text.toString(), parent);
}

bool KxCheckBox::createEditor(QWidget *parent)
{
    buildButtons(parent, false);
    setValue(item()->value);
    for (QAbstractButton *b : m_buttons)
        connect(b, &QAbstractButton::clicked, this, [this]() { notifyValueChanged(true); });
    return KxControlBase::createEditor(parent);
}

void KxCheckBox::setValue(const QVariant &v)
{
    KxControlBase::setValue(v);
    const QStringList keys = v.toString().split(QLatin1Char('|'), Qt::SkipEmptyParts);
    for (QAbstractButton *b : m_buttons)
        b->setChecked(keys.contains(b->objectName()));
}

QVariant KxCheckBox::value() const
{
    if (!m_box)
        return QVariant();
    QStringList keys;
    for (QAbstractButton *b : m_buttons) {
        if (b->isChecked())
            keys.append(b->objectName());
    }
    return keys.join(QLatin1Char('|'));
}

QVariant KxCheckBox::displayValue() const
{
    QStringList texts;
    for (QAbstractButton *b : m_buttons) {
        if (b->isChecked())
            texts.append(b->text());
    }
    return texts.join(QStringLiteral(", "));
}

// --- radio buttons --------------------------------------------------------------------------

QAbstractButton *KxRadioButton::makeButton(const KxFeatureInfo &option, QWidget *parent)
{
    return new QRadioButton(option.text.toString(), parent);
}

bool KxRadioButton::createEditor(QWidget *parent)
{
    buildButtons(parent, true);
    setValue(item()->value);
    connect(m_group, QOverload<QAbstractButton *>::of(&QButtonGroup::buttonClicked), this, [this]() { notifyValueChanged(true); });
    return KxControlBase::createEditor(parent);
}

void KxRadioButton::setValue(const QVariant &v)
{
    KxControlBase::setValue(v);
    checkKey(v.toString());
}

QVariant KxRadioButton::value() const
{
    return m_box ? QVariant(checkedKey()) : QVariant();
}
