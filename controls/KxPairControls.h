#pragma once
// Controls made of several number fields joined into one value: ranges "from|to", points and
// sizes "a,b" and lines "x1,y1|x2,y2", each with integer or floating fields.
#include "KxControlBase.h"

#include <QList>
#include <QPointer>
#include <QStringList>

class QDoubleSpinBox;

class KxSpinGroupControl : public KxControlBase
{
    Q_OBJECT
public:
    QWidget *editorWidget() const override;
    void setValue(const QVariant &v) override;
    QVariant value() const override;
    bool createEditor(QWidget *parent) override;
    QList<QDoubleSpinBox *> fields() const { return m_fields; }

    // Splits a value into its numbers using the separators between consecutive fields.
    static QStringList splitValue(const QString &value, const QStringList &separators);

protected:
    // labels: one caption per field (may be empty); separators: text between field i and i+1.
    KxSpinGroupControl(QObject *parent, bool floating, QStringList labels, QStringList separators,
                       QStringList joiners);
    QString formatField(int i) const;
    virtual void fieldEdited(int index);

    bool m_floating;
    QStringList m_labels;
    QStringList m_separators; // in the value
    QStringList m_joiners;    // shown between the fields
    QPointer<QWidget> m_box;
    QList<QDoubleSpinBox *> m_fields;
};

class KxRangeBox : public KxSpinGroupControl
{
    Q_OBJECT
public:
    explicit KxRangeBox(QObject *parent = nullptr);
    void setParam(const QString &key, const QVariant &value) override;
    bool createEditor(QWidget *parent) override;

protected:
    void fieldEdited(int index) override;
};

class KxDoubleRangeBox : public KxSpinGroupControl
{
    Q_OBJECT
public:
    explicit KxDoubleRangeBox(QObject *parent = nullptr);

protected:
    void fieldEdited(int index) override;
};

class KxPoint : public KxSpinGroupControl
{
    Q_OBJECT
public:
    explicit KxPoint(QObject *parent = nullptr);
};

class KxDoublePoint : public KxSpinGroupControl
{
    Q_OBJECT
public:
    explicit KxDoublePoint(QObject *parent = nullptr);
};

class KxSize : public KxSpinGroupControl
{
    Q_OBJECT
public:
    explicit KxSize(QObject *parent = nullptr);
};

class KxDoubleSize : public KxSpinGroupControl
{
    Q_OBJECT
public:
    explicit KxDoubleSize(QObject *parent = nullptr);
};

class KxLine : public KxSpinGroupControl
{
    Q_OBJECT
public:
    explicit KxLine(QObject *parent = nullptr);
};
