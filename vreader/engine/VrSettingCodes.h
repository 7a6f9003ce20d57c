#pragma once
// Setting codes as a reader scans them: "@SETUPE1" or "@SETUPN1" enters programming, each code's
// commands are collected ("@c1;c2;" holds several), a command word alone starts a parameter that
// digit codes spell out ("@DIGIT1,IT2", "@DIGIVB" for "|") until "@DIGSAV", and "@SETUPE0" or
// "@SETUPN0" leaves, the "E" pair storing what was set. Outside programming nothing is taken.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class VrSettingCodeSession
{
public:
    struct Command
    {
        QString code;     // six-letter command word
        QByteArray value; // empty for actions such as "DFMCAL"
        bool operator==(const Command &o) const { return code == o.code && value == o.value; }
    };
    struct Step
    {
        bool consumed = false;   // the text was a setting code (not passed on as a result)
        QList<Command> apply;    // commands to run now, in order
        bool left = false;       // programming ended with this code
        bool store = false;      // ... and what was set is to be stored
        QString error;           // a code that could not be taken, and why
    };

    Step feed(const QString &text);
    bool active() const { return m_active; }
    // Whether a text could be a setting code at all (checked before a page is scanned in full).
    static bool looksLikeSettingCode(const QString &text);

private:
    Command flushHeader(bool *had);

    bool m_active = false;
    bool m_store = true;
    QString m_header;   // command word waiting for its digit codes
    QString m_digits;
};
