#include "SendCmdFormat.h"

#include "KxBinaryFrame.h"
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"

#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextStream>

namespace SendCmdFormat {

QString compact(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (!c.isSpace())
            out.append(c);
    }
    return out;
}

bool parseHex(const QString &text, QByteArray &out)
{
    out.clear();
    const QStringList parts = text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    for (const QString &p : parts) {
        if (p.size() % 2 != 0)
            return false;
        for (int i = 0; i < p.size(); i += 2) {
            bool ok = false;
            const int v = p.mid(i, 2).toInt(&ok, 16);
            if (!ok || p.at(i) == QLatin1Char('+') || p.at(i) == QLatin1Char('-'))
                return false;
            out.append(char(v));
        }
    }
    return !out.isEmpty();
}

QByteArray requestBytes(const QString &compactText)
{
    const QByteArray utf8 = compactText.toUtf8();
    if (compactText.startsWith(QLatin1Char('@')) || compactText.startsWith(QLatin1Char('#')))
        return KxMakeDataStreamCmd(utf8, DataProtocol_Settings, true);
    return utf8;
}

QByteArray stripEnvelope(const QByteArray &frame)
{
    if (frame.size() >= 8 && frame.startsWith(QByteArray("\x7E\x01" "0000", 6))) {
        QByteArray body = frame.mid(6);
        if (body.endsWith(char(KxFrame::Tail)))
            body.chop(1);
        if (body.endsWith(';'))
            body.chop(1);
        return body;
    }
    quint8 kind = 0;
    QByteArray payload;
    if (KxFrame::decode(frame, &kind, &payload))
        return payload;
    return frame;
}

QString formatBytes(const QByteArray &bytes, const Display &display)
{
    const QByteArray shown = display.headAndTail ? bytes : stripEnvelope(bytes);
    if (display.hex)
        return QString::fromLatin1(shown.toHex(' ').toUpper());
    QString out;
    for (const char c : shown) {
        const auto u = uchar(c);
        out.append(u < 0x20 || u == 0x7F ? QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'))
                                         : QString(QLatin1Char(c)));
    }
    // Show valid UTF-8 text as text.
    if (!display.hex && !shown.isEmpty()) {
        const QString utf = QString::fromUtf8(shown);
        if (!utf.contains(QChar::ReplacementCharacter) && !utf.contains(QRegularExpression(QStringLiteral("[\\x00-\\x1f]"))))
            return utf;
    }
    return out;
}

QString requestLine(const QByteArray &request, const Display &display)
{
    return (display.tags ? QStringLiteral("Request: ") : QString()) + formatBytes(request, display);
}

QString responseLine(const QByteArray &reply, const Display &display)
{
    QString line = (display.tags ? QStringLiteral("Response: ") : QString());
    if (display.parse) {
        const QStringList items = parsedReply(reply);
        if (!items.isEmpty())
            return line + items.join(QStringLiteral("; "));
    }
    return line + formatBytes(reply, display);
}

QStringList parsedReply(const QByteArray &reply)
{
    QStringList out;
    KxDataStreamParser parser(reply, DataType_Frame);
    if (!parser.isValid())
        return out;
    if (parser.protocol() == DataProtocol_Vision) {
        out << QStringLiteral("%1=%2 (%3)").arg(parser.visionCode(),
                                                QString::fromUtf8(parser.visionJson()))
                   .arg(parser.visionResult());
        return out;
    }
    for (const KxTagInfo &t : parser.tags()) {
        out << QStringLiteral("%1=%2 (%3)").arg(t.code, QString::fromUtf8(t.value())).arg(t.result);
        for (const KxSubTag &s : t.subTags) {
            if (!s.tag.isEmpty())
                out << QStringLiteral("%1.%2=%3").arg(t.code, s.tag, QString::fromUtf8(s.value));
        }
    }
    return out;
}

QStringList addToHistory(QStringList history, const QString &text)
{
    if (text.isEmpty())
        return history;
    history.removeAll(text);
    history.append(text);
    while (history.size() > kMaxHistory)
        history.removeFirst();
    return history;
}

bool loadHistory(const QString &path, QStringList &out)
{
    out.clear();
    QFile f(path);
    if (!f.exists())
        return true;
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    for (const QString &l : lines)
        out = addToHistory(out, compact(l));
    return true;
}

bool saveHistory(const QString &path, const QStringList &history)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    f.write(history.join(QLatin1Char('\n')).toUtf8());
    return f.commit();
}

}  // namespace SendCmdFormat
