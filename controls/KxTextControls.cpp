#include "KxTextControls.h"

#include "KxControlUtil.h"
#include "KxI18nUtil.h"
#include "KxTextDialogs.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QToolButton>

namespace {

// Accepts hex digits and blanks, up to a number of digits.
class KxHexValidator : public QValidator
{
public:
    KxHexValidator(int maxDigits, QObject *parent) : QValidator(parent), m_max(maxDigits) {}
    State validate(QString &input, int &) const override
    {
        if (!KxControlUtil::isHexText(input))
            return Invalid;
        const int n = KxControlUtil::stripBlanks(input).size();
        if (m_max > 0 && n > m_max)
            return Invalid;
        return n % 2 == 0 ? Acceptable : Intermediate;
    }

private:
    int m_max;
};

} // namespace

// --- line edit ------------------------------------------------------------------------------

QWidget *KxLineEdit::editorWidget() const
{
    return m_root;
}

void KxLineEdit::buildLineEdit(QWidget *parent)
{
    m_edit = new QLineEdit(parent);
    m_root = m_edit;
    m_edit->setMinimumWidth(220);
    m_edit->setMinimumHeight(28);
    int maxLength = intAttr(QStringLiteral("MaxLength"), 0);
    if (maxLength <= 0)
        maxLength = intAttr(QStringLiteral("Maximum"), 0);
    if (maxLength > 0)
        m_edit->setMaxLength(maxLength);
    const QString tip = textAttr(QStringLiteral("EmptyTip"));
    if (!tip.isEmpty())
        m_edit->setPlaceholderText(kxTr(tip));
    m_edit->setReadOnly(textAttr(QStringLiteral("ReadOnly")) == QLatin1String("1"));
    if (textAttr(QStringLiteral("Password")) == QLatin1String("1"))
        m_edit->setEchoMode(QLineEdit::Password);
    const QString re = textAttr(QStringLiteral("RegExp"));
    if (!re.isEmpty()) {
        const QRegularExpression rx(re);
        if (rx.isValid())
            m_edit->setValidator(new QRegularExpressionValidator(rx, m_edit));
        else
            qWarning() << "KxLineEdit::buildLineEdit()..." << itemId() << "bad RegExp" << re;
    }
    const QString mask = textAttr(QStringLiteral("InputMask"));
    if (!mask.isEmpty())
        m_edit->setInputMask(mask);
    connect(m_edit, &QLineEdit::editingFinished, this, &KxLineEdit::commitText);
}

QToolButton *KxLineEdit::addDialogButton(const QString &toolTipKey)
{
    auto *box = new QWidget(m_edit->parentWidget());
    auto *row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    m_edit->setParent(box);
    row->addWidget(m_edit, 1);
    auto *button = new QToolButton(box);
    button->setText(QStringLiteral("…"));
    button->setToolTip(kxTr(toolTipKey));
    button->setMinimumSize(28, 28);
    button->setCursor(Qt::PointingHandCursor);
    row->addWidget(button);
    m_root = box;
    return button;
}

bool KxLineEdit::createEditor(QWidget *parent)
{
    buildLineEdit(parent);
    setValue(item()->value);
    return KxControlBase::createEditor(parent);
}

void KxLineEdit::commitText()
{
    const QString v = value().toString();
    if (v == m_lastNotified)
        return;
    m_lastNotified = v;
    notifyValueChanged(true);
}

void KxLineEdit::setValue(const QVariant &v)
{
    KxControlBase::setValue(v);
    if (!m_edit)
        return;
    const QSignalBlocker block(m_edit);
    m_edit->setText(v.toString());
    m_lastNotified = value().toString();
}

QVariant KxLineEdit::value() const
{
    return m_root ? QVariant(m_edit->text()) : QVariant();
}

// --- regular expression edit ----------------------------------------------------------------

bool KxRegularExpressionEdit::createEditor(QWidget *parent)
{
    buildLineEdit(parent);
    QToolButton *button = addDialogButton(QStringLiteral("#IDS_RegExpEditor"));
    connect(button, &QToolButton::clicked, this, [this]() { openDialog(); });
    setValue(item()->value);
    return KxControlBase::createEditor(parent);
}

KxRegExpDlg *KxRegularExpressionEdit::openDialog()
{
    if (m_dialog)
        return m_dialog;
    m_dialog = new KxRegExpDlg(m_edit->text(), m_edit->maxLength(), m_root);
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_dialog, &QDialog::accepted, this, [this]() {
        if (!m_dialog || !m_edit)
            return;
        m_edit->setText(m_dialog->pattern());
        commitText();
    });
    m_dialog->open();
    return m_dialog;
}

// --- hexadecimal edit -----------------------------------------------------------------------

bool KxHexEdit::createEditor(QWidget *parent)
{
    buildLineEdit(parent);
    m_maxDigits = intAttr(QStringLiteral("MaxLength"), 0);
    // The line edit shows grouped pairs: room for the blanks between them.
    m_edit->setMaxLength(m_maxDigits > 0 ? m_maxDigits + m_maxDigits / 2 : 32767);
    if (textAttr(QStringLiteral("InputMask")).isEmpty())
        m_edit->setValidator(new KxHexValidator(m_maxDigits, m_edit));
    QFont mono(QStringLiteral("monospace"));
    mono.setStyleHint(QFont::Monospace);
    m_edit->setFont(mono);
    QToolButton *button = addDialogButton(QStringLiteral("#IDS_HexEditor"));
    connect(button, &QToolButton::clicked, this, [this]() { openDialog(); });
    setValue(item()->value);
    return KxControlBase::createEditor(parent);
}

KxHexEditDlg *KxHexEdit::openDialog()
{
    if (m_dialog)
        return m_dialog;
    m_dialog = new KxHexEditDlg(value().toString(), m_maxDigits, m_root);
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_dialog, &QDialog::accepted, this, [this]() {
        if (!m_dialog || !m_edit || !m_dialog->isInputValid())
            return;
        m_edit->setText(KxControlUtil::groupHex(m_dialog->hexDigits()));
        commitText();
    });
    m_dialog->open();
    return m_dialog;
}

void KxHexEdit::setValue(const QVariant &v)
{
    KxControlBase::setValue(v);
    if (!m_edit)
        return;
    const QSignalBlocker block(m_edit);
    m_edit->setText(KxControlUtil::groupHex(KxControlUtil::stripBlanks(v.toString())));
    m_lastNotified = value().toString();
}

QVariant KxHexEdit::value() const
{
    return m_root ? QVariant(KxControlUtil::stripBlanks(m_edit->text())) : QVariant();
}

bool KxHexEdit::isModifiedValue(const QVariant &v) const
{
    if (!item())
        return false;
    return KxControlUtil::stripBlanks(v.toString())
               .compare(KxControlUtil::stripBlanks(item()->value.toString()), Qt::CaseInsensitive)
           != 0;
}

// --- multi-line text ------------------------------------------------------------------------

QWidget *KxTextEdit::editorWidget() const
{
    return m_edit;
}

bool KxTextEdit::createEditor(QWidget *parent)
{
    m_edit = new QPlainTextEdit(parent);
    m_edit->setTabChangesFocus(true);
    m_edit->setMinimumWidth(220);
    m_edit->setMinimumHeight(72);
    m_edit->setMaximumHeight(120);
    m_maxLength = intAttr(QStringLiteral("MaxLength"), 0);
    if (m_maxLength <= 0)
        m_maxLength = intAttr(QStringLiteral("Maximum"), 0);
    const QString tip = textAttr(QStringLiteral("EmptyTip"));
    if (!tip.isEmpty())
        m_edit->setPlaceholderText(kxTr(tip));
    m_edit->setReadOnly(textAttr(QStringLiteral("ReadOnly")) == QLatin1String("1"));
    setValue(item()->value);
    connect(m_edit, &QPlainTextEdit::textChanged, this, &KxTextEdit::onChanged);
    return KxControlBase::createEditor(parent);
}

void KxTextEdit::onChanged()
{
    if (m_maxLength > 0 && m_edit->toPlainText().size() > m_maxLength) {
        // Cut what went past the limit (a paste may add much at once) and keep the cursor.
        const QSignalBlocker block(m_edit);
        QTextCursor c = m_edit->textCursor();
        const int pos = qMin(c.position(), m_maxLength);
        m_edit->setPlainText(m_edit->toPlainText().left(m_maxLength));
        c = m_edit->textCursor();
        c.setPosition(pos);
        m_edit->setTextCursor(c);
    }
    notifyValueChanged(true);
}

void KxTextEdit::setValue(const QVariant &v)
{
    KxControlBase::setValue(v);
    if (!m_edit)
        return;
    const QSignalBlocker block(m_edit);
    m_edit->setPlainText(v.toString());
}

QVariant KxTextEdit::value() const
{
    return m_edit ? QVariant(m_edit->toPlainText()) : QVariant();
}
