#pragma once
// Controls of vision tool pages: a region "x,y,w,h" that can also be drawn on the image, a
// colour range "h1,s1,v1|h2,s2,v2", the locator a node follows, templates and models of the
// camera's store, and how a result is sent. Point, line, size and range come from the standard
// set.
#include "KxPairControls.h"

#include <QImage>
#include <QPair>

class QHBoxLayout;

class KxZuRectangleBox : public KxSpinGroupControl
{
    Q_OBJECT
public:
    explicit KxZuRectangleBox(QObject *parent = nullptr);
    QRect rect() const;
    // Takes a region drawn on the image and reports it as an edit.
    void setRect(const QRect &r);
};

class KxColorRange : public KxSpinGroupControl
{
    Q_OBJECT
public:
    explicit KxColorRange(QObject *parent = nullptr);
};

class KxVisionResource;
class QCheckBox;
class QComboBox;
class QLabel;
class QToolButton;

// What the vision controls need from the editor around them; the vision edit frame implements
// it and a control finds it among its editor's parents.
class IKxVisionEditContext
{
public:
    virtual ~IKxVisionEditContext() = default;
    virtual KxVisionResource *visionResource() const = 0;
    // The locator nodes before the node being edited: Index and display text.
    virtual QList<QPair<int, QString>> locatorsBefore() const = 0;
    // The image shown and the last rectangle drawn on it (image pixels; empty when none).
    virtual QImage shownImage() const = 0;
    virtual QRect drawnRect() const = 0;
};

// A choice among a list that is filled from the editor's context; a stored value the list
// lacks stays, marked with "?", so opening a page never changes a node.
class KxVisionChoice : public KxControlBase
{
    Q_OBJECT
public:
    QWidget *editorWidget() const override { return m_root; }
    void setValue(const QVariant &v) override;
    QVariant value() const override;
    bool createEditor(QWidget *parent) override;
    void pageShown() override { refill(); }
    QComboBox *combo() const { return m_combo; }
    // Fills the list again from the context.
    void refill();

protected:
    using KxControlBase::KxControlBase;
    IKxVisionEditContext *context() const;
    // The entries (value, text) after the "none" one.
    virtual QList<QPair<QString, QString>> entries(IKxVisionEditContext *c) const = 0;
    virtual QString noneKey() const = 0;
    // Pictures beside the list (top) and buttons under it (bottom).
    virtual void extend(QHBoxLayout *, QHBoxLayout *) {}
    virtual void chosen() {}
    void choose(const QString &value, bool notify);

    QWidget *m_root = nullptr;
    QComboBox *m_combo = nullptr;
    QString m_value;
};

// "ZuKitLocatorContext": the locator node whose shift moves this node's region.
class KxZuKitLocatorContext : public KxVisionChoice
{
    Q_OBJECT
public:
    explicit KxZuKitLocatorContext(QObject *parent = nullptr) : KxVisionChoice(parent) {}

protected:
    QList<QPair<QString, QString>> entries(IKxVisionEditContext *c) const override;
    QString noneKey() const override { return QStringLiteral("#IDS_ZuLocatorNone"); }
};

// A resource of the camera's store ("ZuKitTmpl" templates, "ZuKitModel" trained models): the
// list, a file loaded onto the camera, and for templates a thumbnail and a template cut from the
// region drawn on the image.
class KxZuKitResourceChoice : public KxVisionChoice
{
    Q_OBJECT
public:
    KxZuKitResourceChoice(QObject *parent, const QString &kind);
    // Stores data on the camera as a new entry and chooses it when the camera took it.
    void upload(const QByteArray &data, const QString &name, const QString &imgType);
    void loadFile();
    void fromImage();
    QLabel *thumbnail() const { return m_thumb; }

protected:
    QList<QPair<QString, QString>> entries(IKxVisionEditContext *c) const override;
    QString noneKey() const override;
    void extend(QHBoxLayout *top, QHBoxLayout *bottom) override;
    void chosen() override;

private:
    QString m_kind;
    QLabel *m_thumb = nullptr;
};

class KxZuKitTmpl : public KxZuKitResourceChoice
{
    Q_OBJECT
public:
    explicit KxZuKitTmpl(QObject *parent = nullptr) : KxZuKitResourceChoice(parent, QStringLiteral("template")) {}
};

class KxZuKitModel : public KxZuKitResourceChoice
{
    Q_OBJECT
public:
    explicit KxZuKitModel(QObject *parent = nullptr) : KxZuKitResourceChoice(parent, QStringLiteral("model")) {}
};

// "ZuKitSendTC": whether a result is sent on the result links and with which terminator,
// "<0|1>|<NONE|CR|LF|CRLF>".
class KxZuKitSendTC : public KxControlBase
{
    Q_OBJECT
public:
    explicit KxZuKitSendTC(QObject *parent = nullptr);
    QWidget *editorWidget() const override { return m_root; }
    void setValue(const QVariant &v) override;
    QVariant value() const override;
    bool createEditor(QWidget *parent) override;
    QCheckBox *sendBox() const { return m_send; }
    QComboBox *endBox() const { return m_end; }

private:
    QWidget *m_root = nullptr;
    QCheckBox *m_send = nullptr;
    QComboBox *m_end = nullptr;
};

namespace KxVisionControls {
// Registers "ZuRectangleBox", "ColorRange" and the "ZuKit..." kinds the tool pages use:
// "ZuKitInputEdit", "ZuKitCheckBox", "ZuKitBenchMarkToggle", "ZuKitLocatorContext",
// "ZuKitTmpl", "ZuKitModel", "ZuKitSendTC".
void registerAll();
}
