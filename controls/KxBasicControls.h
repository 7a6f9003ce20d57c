#pragma once
// Plain controls: a read-only label, action buttons, a container panel, an image, an IPv4
// address editor and the vibration setting editor.
#include "KxControlBase.h"

#include <QList>
#include <QPointer>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStringList>

class IKxBusyQuery;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

class KxLabel : public KxControlBase
{
    Q_OBJECT
public:
    using KxControlBase::KxControlBase;
    QWidget *editorWidget() const override;
    void setValue(const QVariant &v) override;
    QVariant value() const override;
    QVariant displayValue() const override;
    bool createEditor(QWidget *parent) override;

private:
    QPointer<QLabel> m_text;
};

class KxButton : public KxControlBase
{
    Q_OBJECT
public:
    using KxControlBase::KxControlBase;
    QWidget *editorWidget() const override;
    void setValue(const QVariant &v) override;
    QVariant value() const override;
    QVariant displayValue() const override;
    bool createEditor(QWidget *parent) override;

    QList<QPushButton *> buttons() const { return m_buttons; }
    // Installed once by the connection layer; not owned. Null means never busy.
    static void setBusyQuery(IKxBusyQuery *query);
    static IKxBusyQuery *busyQuery();

private:
    void onClicked(QPushButton *button);
    QPointer<QWidget> m_box;
    QList<QPushButton *> m_buttons;
    QPushButton *m_current = nullptr;
};

class KxPanel : public KxControlBase
{
    Q_OBJECT
public:
    using KxControlBase::KxControlBase;
    QWidget *editorWidget() const override;
    QVariant value() const override;
    bool createEditor(QWidget *parent) override;

private:
    QPointer<QWidget> m_panel;
};

class KxImage : public KxControlBase
{
    Q_OBJECT
public:
    using KxControlBase::KxControlBase;
    QWidget *editorWidget() const override;
    QVariant value() const override;
    bool createEditor(QWidget *parent) override;
    // Folders searched for relative image names (the model's "images" folder first).
    static void setSearchPaths(const QStringList &dirs);
    static QStringList searchPaths();
    bool hasImage() const;

private:
    QPointer<QLabel> m_image;
};

class KxIPV4 : public KxControlBase
{
    Q_OBJECT
public:
    using KxControlBase::KxControlBase;
    QWidget *editorWidget() const override;
    void setValue(const QVariant &v) override;
    QVariant value() const override;
    bool createEditor(QWidget *parent) override;
    QList<QLineEdit *> fields() const { return m_fields; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_box;
    QList<QLineEdit *> m_fields;
    QString m_lastNotified;
};

class KxVIBRAT : public KxControlBase
{
    Q_OBJECT
public:
    using KxControlBase::KxControlBase;
    QWidget *editorWidget() const override;
    void setValue(const QVariant &v) override;
    QVariant value() const override;
    bool createEditor(QWidget *parent) override;

private:
    QPointer<QSpinBox> m_spin;
    QString m_value;
};
