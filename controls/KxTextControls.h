#pragma once
// Text controls: single-line and multi-line edits, the regular expression edit and the
// hexadecimal edit, the last two with their editor dialogs.
#include "KxControlBase.h"

#include <QPlainTextEdit>
#include <QPointer>

class KxHexEditDlg;
class KxRegExpDlg;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;

class KxLineEdit : public KxControlBase
{
    Q_OBJECT
public:
    using KxControlBase::KxControlBase;
    QWidget *editorWidget() const override;
    void setValue(const QVariant &v) override;
    QVariant value() const override;
    bool createEditor(QWidget *parent) override;
    QLineEdit *lineEdit() const { return m_edit; }

protected:
    // Builds the line edit (and the row around it when a subclass adds a button).
    void buildLineEdit(QWidget *parent);
    // Reports the text once editing finished, if it differs from what was last reported;
    // a per-keystroke report would send the reader a command per key.
    void commitText();
    QToolButton *addDialogButton(const QString &toolTipKey);

    QPointer<QWidget> m_root;
    QLineEdit *m_edit = nullptr;
    QString m_lastNotified;
};

class KxRegularExpressionEdit : public KxLineEdit
{
    Q_OBJECT
public:
    using KxLineEdit::KxLineEdit;
    bool createEditor(QWidget *parent) override;
    // Opens the dialog without waiting; returns it (owned by the editor, deleted on close).
    KxRegExpDlg *openDialog();

private:
    QPointer<KxRegExpDlg> m_dialog;
};

class KxHexEdit : public KxLineEdit
{
    Q_OBJECT
public:
    using KxLineEdit::KxLineEdit;
    void setValue(const QVariant &v) override;
    QVariant value() const override;
    bool isModifiedValue(const QVariant &v) const override;
    bool createEditor(QWidget *parent) override;
    KxHexEditDlg *openDialog();
    int maxDigits() const { return m_maxDigits; }

private:
    QPointer<KxHexEditDlg> m_dialog;
    int m_maxDigits = 0;
};

class KxTextEdit : public KxControlBase
{
    Q_OBJECT
public:
    using KxControlBase::KxControlBase;
    QWidget *editorWidget() const override;
    void setValue(const QVariant &v) override;
    QVariant value() const override;
    bool createEditor(QWidget *parent) override;
    QPlainTextEdit *textEdit() const { return m_edit; }

private:
    void onChanged();
    QPointer<QPlainTextEdit> m_edit;
    int m_maxLength = 0;
};
