#pragma once
// The editor dialogs of the text controls: a hexadecimal byte editor with a text preview and a
// regular expression tester. Both open window-modal with open(); the control reads the result
// when the dialog finishes, so nothing waits in a nested event loop.
#include "NDialogEx.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace KxHexText {
// Hex digits of a text (blanks removed, upper case); false when other characters occur.
bool digits(const QString &text, QString *out);
// Printable preview of the bytes ("." for bytes outside 0x20..0x7e); an odd tail is ignored.
QString preview(const QString &digits);
// Hex digits of a plain text, byte by byte (Latin-1; other characters become "3F").
QString fromText(const QString &text);
} // namespace KxHexText

struct KxRegExpCheck
{
    bool valid = false;
    QString error;   // when not valid
    bool matched = false;
    QString match;   // the whole-text match, when matched
    static KxRegExpCheck evaluate(const QString &pattern, const QString &sample);
};

class KxHexEditDlg : public NDialogEx
{
    Q_OBJECT
public:
    // maxDigits <= 0: no limit.
    KxHexEditDlg(const QString &digits, int maxDigits, QWidget *parent = nullptr);
    // The digits entered, without blanks; empty while the text is not valid hexadecimal.
    QString hexDigits() const;
    bool isInputValid() const;
    QPlainTextEdit *hexEdit() const { return m_hex; }
    QLineEdit *textEdit() const { return m_text; }

private:
    void onHexChanged();
    void onTextEdited(const QString &text);
    QPlainTextEdit *m_hex;
    QLineEdit *m_text;
    QLabel *m_status;
    QWidget *m_ok;
    int m_maxDigits;
    bool m_updating = false;
};

class KxRegExpDlg : public NDialogEx
{
    Q_OBJECT
public:
    KxRegExpDlg(const QString &pattern, int maxLength, QWidget *parent = nullptr);
    QString pattern() const;
    QLineEdit *patternEdit() const { return m_pattern; }
    QLineEdit *sampleEdit() const { return m_sample; }
    QString statusText() const;

private:
    void refresh();
    QLineEdit *m_pattern;
    QLineEdit *m_sample;
    QLabel *m_status;
    QWidget *m_ok;
};
