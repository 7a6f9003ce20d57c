#include "KxDataFormat.h"

#include <QHash>
#include <QRegularExpression>

namespace KxDataFormatText {
const char *const kAllSymbologies = "999";
}

namespace {
constexpr int kMarker = 6999;
}

QString KxDataFormatRule::serialize() const
{
    if (format == -1 || commands.isEmpty())
        return QString();
    return QStringLiteral("%1%2%3%4%5")
        .arg(format)
        .arg(kMarker)
        .arg(symbology)
        .arg(length, 4, 10, QLatin1Char('0'))
        .arg(commands);
}

bool KxDataFormatRule::parse(int format, const QString &text, KxDataFormatRule *rule)
{
    const QString head = QString::number(format) + QString::number(kMarker);
    if (format < 0 || !text.startsWith(head))
        return false;
    static const QRegularExpression tail(QStringLiteral("^([0-9]{3})([0-9]{4})(.+)$"),
                                         QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = tail.match(text.mid(head.size()));
    if (!m.hasMatch())
        return false;
    rule->format = format;
    rule->symbology = m.captured(1);
    rule->length = m.captured(2).toInt();
    rule->commands = m.captured(3);
    return true;
}

QString KxDataFormatList::serialize(const QList<KxDataFormatRule> &rules)
{
    QString out;
    for (const KxDataFormatRule &r : rules) {
        const QString text = r.serialize();
        if (!text.isEmpty())
            out += QStringLiteral("%1:%2;\r\n").arg(r.format).arg(text);
    }
    return out;
}

QList<KxDataFormatRule> KxDataFormatList::parse(const QString &value, QStringList *bad)
{
    QList<KxDataFormatRule> out;
    // A rule's text never holds ";" (parameters travel as hex), so ";" ends a line; the line
    // breaks after it are optional.
    for (QString line : value.split(QLatin1Char(';'))) {
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        const int colon = line.indexOf(QLatin1Char(':'));
        bool ok = false;
        const int format = colon > 0 ? line.left(colon).toInt(&ok) : -1;
        KxDataFormatRule r;
        if (!ok || !KxDataFormatRule::parse(format, line.mid(colon + 1), &r)) {
            if (bad)
                *bad << line;
            continue;
        }
        out << r;
    }
    return out;
}

namespace KxDataFormatCommands {
namespace {

using P = KxDataFormatParam;

const QHash<QString, QList<P>> &table()
{
    static const P ch1{P::Char, 1, 0}, ch15{P::Char, 15, 0}, ch99{P::Char, 99, 0},
        chAny{P::Char, 9999, 0}, n2{P::Num, 2, 99}, n4{P::Num, 4, 4995}, key{P::Key, 99, 0};
    static const QHash<QString, QList<P>> t = {
        {"F1", {ch1}}, {"B9", {chAny}}, {"F2", {n2, ch1}}, {"F3", {ch1, ch1}}, {"E9", {n2}},
        {"F4", {ch1, n2}}, {"B3", {}}, {"B4", {}}, {"B5", {key}}, {"B8", {}}, {"EE", {n2}},
        {"E4", {ch15, ch15}}, {"BA", {n2, ch99, ch99}}, {"FB", {ch15}}, {"F8", {ch1}},
        {"E6", {ch1}}, {"EC", {}}, {"ED", {}}, {"B0", {chAny}}, {"F9", {ch1}}, {"E7", {ch1}},
        {"B1", {chAny}}, {"F5", {n2}}, {"F6", {n2}}, {"F7", {}}, {"EA", {}}, {"FE", {ch1}},
        {"B2", {chAny}}, {"EF", {n4}}};
    return t;
}

struct Key
{
    const char *name;
    int byte;
};
const Key kKeys[] = {{"NUL", 0},  {"SOH", 1},  {"STX", 2},  {"ETX", 3},  {"EOT", 4},  {"ENQ", 5},
                     {"ACK", 6},  {"BEL", 7},  {"BS", 8},   {"TAB", 9},  {"LF", 10},  {"VT", 11},
                     {"FF", 12},  {"CR", 13},  {"SO", 14},  {"SI", 15},  {"DLE", 16}, {"DC1", 17},
                     {"DC2", 18}, {"DC3", 19}, {"DC4", 20}, {"NAK", 21}, {"SYN", 22}, {"ETB", 23},
                     {"CAN", 24}, {"EM", 25},  {"SUB", 26}, {"ESC", 27}, {"FS", 28},  {"GS", 29},
                     {"RS", 30},  {"US", 31},  {"SP", 32},  {"DEL", 127}};

// Digits that prefix a text parameter with its byte count.
int countDigits(const P &p)
{
    return p.length == 9999 ? 4 : 2;
}

}  // namespace

bool known(const QString &code)
{
    return table().contains(code);
}

QList<KxDataFormatParam> params(const QString &code)
{
    return table().value(code);
}

QStringList codes()
{
    QStringList c = table().keys();
    c.sort();
    return c;
}

QStringList keyNames()
{
    QStringList out;
    for (const Key &k : kKeys)
        out << QString::fromLatin1(k.name);
    return out;
}

int keyByte(const QString &name)
{
    for (const Key &k : kKeys) {
        if (name.compare(QLatin1String(k.name), Qt::CaseInsensitive) == 0)
            return k.byte;
    }
    return -1;
}

QString keyName(int byte)
{
    for (const Key &k : kKeys) {
        if (k.byte == byte)
            return QString::fromLatin1(k.name);
    }
    return QString();
}

QString displayChar(uchar c)
{
    if (c > 127)
        return QStringLiteral("0x") + QString::number(c, 16).toUpper();
    if (c >= 33 && c <= 126)
        return QString(QLatin1Char(char(c)));
    return QStringLiteral("[%1]").arg(keyName(c));
}

bool encode(const KxDataFormatCommand &command, QString *text, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (!known(command.code))
        return fail(QStringLiteral("unknown command %1").arg(command.code));
    const QList<P> ps = params(command.code);
    if (ps.size() != command.params.size())
        return fail(QStringLiteral("%1 takes %2 parameter(s)").arg(command.code).arg(ps.size()));
    QString out = command.code;
    for (int i = 0; i < ps.size(); ++i) {
        const P &p = ps[i];
        const QByteArray &v = command.params[i];
        if (p.type == P::Num) {
            bool ok = false;
            const int n = v.toInt(&ok);
            if (!ok || n < 0 || n > p.max || v.size() > p.length)
                return fail(QStringLiteral("%1: number out of range").arg(command.code));
            out += QStringLiteral("%1").arg(n, p.length, 10, QLatin1Char('0'));
        } else if (p.type == P::Key || p.length == 1) {
            if (v.size() != 1)
                return fail(QStringLiteral("%1: one character expected").arg(command.code));
            out += QString::fromLatin1(v.toHex().toUpper());
        } else {
            if (v.isEmpty() || v.size() > p.length)
                return fail(QStringLiteral("%1: 1 to %2 characters expected").arg(command.code).arg(p.length));
            out += QStringLiteral("%1").arg(v.size(), countDigits(p), 10, QLatin1Char('0'))
                + QString::fromLatin1(v.toHex().toUpper());
        }
    }
    *text = out;
    return true;
}

bool decode(const QString &text, QList<KxDataFormatCommand> *commands, QString *error)
{
    const QByteArray t = text.toLatin1();
    int pos = 0;
    auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("%1 at %2").arg(why).arg(pos);
        return false;
    };
    auto digits = [&](int n, int *value) {
        if (pos + n > t.size())
            return false;
        bool ok = false;
        const QByteArray d = t.mid(pos, n);
        for (char c : d) {
            if (c < '0' || c > '9')
                return false;
        }
        *value = d.toInt(&ok);
        pos += n;
        return ok;
    };
    auto hex = [&](int bytes, QByteArray *out) {
        if (pos + 2 * bytes > t.size())
            return false;
        const QByteArray h = t.mid(pos, 2 * bytes);
        for (char c : h) {
            if (!isxdigit(uchar(c)))
                return false;
        }
        *out = QByteArray::fromHex(h);
        pos += 2 * bytes;
        return true;
    };
    commands->clear();
    while (pos < t.size()) {
        KxDataFormatCommand c;
        c.code = QString::fromLatin1(t.mid(pos, 2));
        if (!known(c.code))
            return fail(QStringLiteral("unknown command \"%1\"").arg(c.code));
        pos += 2;
        for (const P &p : params(c.code)) {
            QByteArray v;
            if (p.type == P::Num) {
                int n = 0;
                if (!digits(p.length, &n) || n > p.max)
                    return fail(QStringLiteral("%1: bad number").arg(c.code));
                v = QByteArray::number(n);
            } else if (p.type == P::Key || p.length == 1) {
                if (!hex(1, &v))
                    return fail(QStringLiteral("%1: bad character").arg(c.code));
            } else {
                int n = 0;
                if (!digits(countDigits(p), &n) || n < 1 || n > p.length || !hex(n, &v))
                    return fail(QStringLiteral("%1: bad text").arg(c.code));
            }
            c.params << v;
        }
        commands->append(c);
    }
    return true;
}

}  // namespace KxDataFormatCommands
