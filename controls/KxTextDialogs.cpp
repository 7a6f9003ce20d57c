#include "KxTextDialogs.h"

#include "KxControlUtil.h"
#include "KxI18nUtil.h"
#include "KxStyledButtons.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace KxHexText {

bool digits(const QString &text, QString *out)
{
    if (!KxControlUtil::isHexText(text))
        return false;
    *out = KxControlUtil::stripBlanks(text).toUpper();
    return true;
}

QString preview(const QString &digits)
{
    QString out;
    for (int i = 0; i + 1 < digits.size(); i += 2) {
        bool ok = false;
        const int byte = digits.mid(i, 2).toInt(&ok, 16);
        out.append(ok && byte >= 0x20 && byte < 0x7f ? QChar(byte) : QLatin1Char('.'));
    }
    return out;
}

QString fromText(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        out += QStringLiteral("%1").arg(u < 0x100 ? u : 0x3f, 2, 16, QLatin1Char('0')).toUpper();
    }
    return out;
}

} // namespace KxHexText

KxRegExpCheck KxRegExpCheck::evaluate(const QString &pattern, const QString &sample)
{
    KxRegExpCheck r;
    const QRegularExpression re(QRegularExpression::anchoredPattern(pattern));
    r.valid = re.isValid();
    if (!r.valid) {
        r.error = re.errorString();
        return r;
    }
    const QRegularExpressionMatch m = re.match(sample);
    r.matched = m.hasMatch();
    if (r.matched)
        r.match = m.captured(0);
    return r;
}

// --- hex dialog -----------------------------------------------------------------------------

KxHexEditDlg::KxHexEditDlg(const QString &digits, int maxDigits, QWidget *parent)
    : NDialogEx(parent), m_maxDigits(maxDigits)
{
    setTitle(QStringLiteral("#IDS_HexEditor"));
    auto *form = new QFormLayout(contentWidget());
    form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    form->setHorizontalSpacing(12);
    form->setVerticalSpacing(10);
    m_hex = new QPlainTextEdit(contentWidget());
    m_hex->setObjectName(QStringLiteral("hexEdit"));
    m_hex->setFont(QFont(QStringLiteral("monospace")));
    m_hex->setMinimumSize(360, 110);
    m_hex->setTabChangesFocus(true);
    m_text = new QLineEdit(contentWidget());
    m_text->setObjectName(QStringLiteral("textEdit"));
    m_status = new QLabel(contentWidget());
    form->addRow(kxTr(QStringLiteral("#IDS_HexBytes")), m_hex);
    form->addRow(kxTr(QStringLiteral("#IDS_HexAsText")), m_text);
    form->addRow(QString(), m_status);
    KxPushButton *ok = addButton(QStringLiteral("#IDS_OK"), KxPushButton::Primary);
    KxPushButton *cancel = addButton(QStringLiteral("#IDS_Cancel"));
    m_ok = ok;
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_hex, &QPlainTextEdit::textChanged, this, &KxHexEditDlg::onHexChanged);
    connect(m_text, &QLineEdit::textEdited, this, &KxHexEditDlg::onTextEdited);
    m_hex->setPlainText(KxControlUtil::groupHex(digits.toUpper()));
    onHexChanged();
}

QString KxHexEditDlg::hexDigits() const
{
    QString d;
    return KxHexText::digits(m_hex->toPlainText(), &d) ? d : QString();
}

bool KxHexEditDlg::isInputValid() const
{
    QString d;
    if (!KxHexText::digits(m_hex->toPlainText(), &d))
        return false;
    return d.size() % 2 == 0 && (m_maxDigits <= 0 || d.size() <= m_maxDigits);
}

void KxHexEditDlg::onHexChanged()
{
    if (m_updating)
        return;
    QString d;
    const bool hex = KxHexText::digits(m_hex->toPlainText(), &d);
    m_updating = true;
    if (hex)
        m_text->setText(KxHexText::preview(d));
    m_updating = false;
    QString status;
    if (!hex)
        status = kxTr(QStringLiteral("#IDS_HexInvalid"));
    else if (d.size() % 2 != 0)
        status = kxTr(QStringLiteral("#IDS_HexOddDigits"));
    else if (m_maxDigits > 0 && d.size() > m_maxDigits)
        status = kxTr(QStringLiteral("#IDS_HexTooLong")).arg(m_maxDigits / 2);
    else
        status = kxTr(QStringLiteral("#IDS_HexByteCount")).arg(d.size() / 2);
    m_status->setText(status);
    m_ok->setEnabled(isInputValid());
}

void KxHexEditDlg::onTextEdited(const QString &text)
{
    if (m_updating)
        return;
    m_updating = true;
    m_hex->setPlainText(KxControlUtil::groupHex(KxHexText::fromText(text)));
    m_updating = false;
    onHexChanged();
}

// --- regular expression dialog --------------------------------------------------------------

KxRegExpDlg::KxRegExpDlg(const QString &pattern, int maxLength, QWidget *parent) : NDialogEx(parent)
{
    setTitle(QStringLiteral("#IDS_RegExpEditor"));
    auto *form = new QFormLayout(contentWidget());
    form->setHorizontalSpacing(12);
    form->setVerticalSpacing(10);
    m_pattern = new QLineEdit(pattern, contentWidget());
    m_pattern->setObjectName(QStringLiteral("patternEdit"));
    if (maxLength > 0)
        m_pattern->setMaxLength(maxLength);
    m_pattern->setMinimumWidth(360);
    m_sample = new QLineEdit(contentWidget());
    m_sample->setObjectName(QStringLiteral("sampleEdit"));
    m_sample->setPlaceholderText(kxTr(QStringLiteral("#IDS_RegExpSampleTip")));
    m_status = new QLabel(contentWidget());
    m_status->setWordWrap(true);
    form->addRow(kxTr(QStringLiteral("#IDS_RegExpPattern")), m_pattern);
    form->addRow(kxTr(QStringLiteral("#IDS_RegExpSample")), m_sample);
    form->addRow(QString(), m_status);
    KxPushButton *ok = addButton(QStringLiteral("#IDS_OK"), KxPushButton::Primary);
    KxPushButton *cancel = addButton(QStringLiteral("#IDS_Cancel"));
    m_ok = ok;
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pattern, &QLineEdit::textChanged, this, &KxRegExpDlg::refresh);
    connect(m_sample, &QLineEdit::textChanged, this, &KxRegExpDlg::refresh);
    refresh();
}

QString KxRegExpDlg::pattern() const
{
    return m_pattern->text();
}

QString KxRegExpDlg::statusText() const
{
    return m_status->text();
}

void KxRegExpDlg::refresh()
{
    const KxRegExpCheck c = KxRegExpCheck::evaluate(m_pattern->text(), m_sample->text());
    QString text;
    QString colour = QStringLiteral("#c62828");
    if (!c.valid) {
        text = kxTr(QStringLiteral("#IDS_RegExpInvalid")).arg(c.error);
    } else if (m_sample->text().isEmpty()) {
        text = kxTr(QStringLiteral("#IDS_RegExpValid"));
        colour = QStringLiteral("#1f1f1f");
    } else if (c.matched) {
        text = kxTr(QStringLiteral("#IDS_RegExpMatches"));
        colour = QStringLiteral("#2e7d32");
    } else {
        text = kxTr(QStringLiteral("#IDS_RegExpNoMatch"));
    }
    m_status->setText(text);
    m_status->setStyleSheet(QStringLiteral("color:%1;").arg(colour));
    m_ok->setEnabled(c.valid);
}
