#pragma once
// Controls with one widget per option: an exclusive button row, check boxes and radio buttons.
#include "KxControlBase.h"
#include "KxFeatureInfo.h"

#include <QList>
#include <QPointer>

class QAbstractButton;
class QButtonGroup;

// Shared part: builds one button per option in a grid ("RowCount" rows).
class KxOptionButtonsBase : public KxControlBase
{
    Q_OBJECT
public:
    using KxControlBase::KxControlBase;

    QWidget *editorWidget() const override;
    QVariant displayValue() const override;
    QList<QAbstractButton *> buttons() const { return m_buttons; }
    QAbstractButton *buttonForKey(const QString &key) const;

protected:
    // Makes the button of one option; the base puts it in the grid.
    virtual QAbstractButton *makeButton(const KxFeatureInfo &option, QWidget *parent) = 0;
    bool buildButtons(QWidget *parent, bool exclusive);
    // Key of the checked button (exclusive kinds); empty when none.
    QString checkedKey() const;
    void checkKey(const QString &key);

    QPointer<QWidget> m_box;
    QList<QAbstractButton *> m_buttons;
    QButtonGroup *m_group = nullptr;
};

class KxButtonGroup : public KxOptionButtonsBase
{
    Q_OBJECT
public:
    using KxOptionButtonsBase::KxOptionButtonsBase;
    void setValue(const QVariant &v) override;
    QVariant value() const override;
    bool createEditor(QWidget *parent) override;

protected:
    QAbstractButton *makeButton(const KxFeatureInfo &option, QWidget *parent) override;
};

class KxCheckBox : public KxOptionButtonsBase
{
    Q_OBJECT
public:
    using KxOptionButtonsBase::KxOptionButtonsBase;
    void setValue(const QVariant &v) override;
    QVariant value() const override;
    QVariant displayValue() const override;
    bool createEditor(QWidget *parent) override;

protected:
    QAbstractButton *makeButton(const KxFeatureInfo &option, QWidget *parent) override;
};

class KxRadioButton : public KxOptionButtonsBase
{
    Q_OBJECT
public:
    using KxOptionButtonsBase::KxOptionButtonsBase;
    void setValue(const QVariant &v) override;
    QVariant value() const override;
    bool createEditor(QWidget *parent) override;

protected:
    QAbstractButton *makeButton(const KxFeatureInfo &option, QWidget *parent) override;
};
