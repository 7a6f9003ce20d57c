#pragma once
// A configuration control: a plain QObject bound to one page item. It builds a title label and
// an editor, converts between the editor and the stored value string, marks its title when the
// value differs from the stored one, and reports edits to its parent (the property widget)
// through control events.
#include "KxPageInfo.h"

#include <QObject>
#include <QLabel>
#include <QPointer>
#include <QVariant>

class KxPropertyWidget;
class QLabel;
class QWidget;

class KxControlBase : public QObject
{
    Q_OBJECT
public:
    explicit KxControlBase(QObject *parent = nullptr);
    ~KxControlBase() override;

    // Virtual operations, in their fixed order.
    virtual QWidget *labelWidget() const;
    virtual void setLabelWidth(int width);
    virtual QWidget *editorWidget() const = 0;
    virtual void applyValue(const QVariant &v);
    virtual void setValue(const QVariant &v);
    virtual QVariant value() const = 0;
    virtual QVariant displayValue() const;
    virtual bool isModified() const;
    virtual void acceptValue();
    virtual void revertValue(bool notify);
    virtual void setEditorEnabled(bool enabled);
    virtual void pageShown();      // after the page holding the control was laid out
    virtual void regionChanged();  // region-of-interest controls refresh here
    virtual void setParam(const QString &key, const QVariant &value);
    virtual QVariant itemParam(const QString &key) const;
    virtual bool setOptions(const QVariant &list);
    virtual bool createLabel(QWidget *parent);
    virtual bool createEditor(QWidget *parent);
    virtual bool afterSetup();
    virtual bool isModifiedValue(const QVariant &v) const;

    // Binds the item and builds label and editor; false for a null item or a failing step.
    bool setup(KxItemInfo *item, QWidget *parent);
    void updateTitle(const QVariant &v);
    void notifyValueChanged(bool sync);
    void notifyCustomChanged(const QString &type, const QVariant &params, bool sync);
    void notifyExtend(const QString &controlId);
    // A "ChangedTips" attribute of "0" keeps the mark off.
    void setShowChanged(bool on);
    bool showChanged() const { return m_showChanged; }
    void setSilent(bool on) { m_silent = on; }
    bool isSilent() const { return m_silent; }

    static void setWidthRange(QWidget *w, int min, int max);
    static void setHeightRange(QWidget *w, int min, int max);

    KxItemInfo *item() const { return m_item; }
    QLabel *label() const { return m_label; }
    KxPropertyWidget *owner() const { return m_owner; }
    QString itemId() const;
    // The item's display name translated, as the title shows it.
    QString titleText() const;

protected:
    // Attribute of the item with the key compared ignoring case.
    QVariant attr(const QString &key) const;
    bool hasAttr(const QString &key) const;
    // Decimal reading; non-numbers give 0, missing keys give the fallback.
    int intAttr(const QString &key, int fallback = 0) const;
    double realAttr(const QString &key, double fallback = 0) const;
    QString textAttr(const QString &key, const QString &fallback = QString()) const;
    // The widget that the control deletes itself when nothing else took it over.
    void setEditorRoot(QWidget *root) { m_editorRoot = root; }

private:
    bool m_showChanged = false;
    bool m_silent = false;
    QPointer<QLabel> m_label;
    KxItemInfo *m_item = nullptr;
    KxPropertyWidget *m_owner = nullptr;
    QPointer<QWidget> m_editorRoot;
};
