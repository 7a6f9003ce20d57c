#include "VrSettingCodes.h"

namespace {
bool isCommandWord(const QString &s)
{
    if (s.size() != 6)
        return false;
    for (const QChar c : s) {
        if (!(c.isUpper() && c.unicode() < 128) && !(c.isDigit() && c.unicode() < 128))
            return false;
    }
    return true;
}
} // namespace

bool VrSettingCodeSession::looksLikeSettingCode(const QString &text)
{
    return text.size() >= 7 && (text.startsWith(QLatin1Char('@')) || text.startsWith(QLatin1Char('#')))
        && isCommandWord(text.mid(1, 6));
}

VrSettingCodeSession::Command VrSettingCodeSession::flushHeader(bool *had)
{
    Command c{m_header, QByteArray()};
    *had = !m_header.isEmpty();
    m_header.clear();
    m_digits.clear();
    return c;
}

VrSettingCodeSession::Step VrSettingCodeSession::feed(const QString &text)
{
    Step step;
    if (text == QLatin1String("@SETUPE1") || text == QLatin1String("@SETUPN1")) {
        step.consumed = true;
        m_active = true;
        m_store = text.at(6) == QLatin1Char('E');
        m_header.clear();
        m_digits.clear();
        return step;
    }
    if (!m_active)
        return step;
    step.consumed = true;
    bool had = false;
    if (text == QLatin1String("@SETUPE0") || text == QLatin1String("@SETUPN0")) {
        // A command word left without digit codes is an action of its own.
        const Command pending = flushHeader(&had);
        if (had)
            step.apply << pending;
        step.left = true;
        step.store = text.at(6) == QLatin1Char('E') && m_store;
        m_active = false;
        return step;
    }
    if (text == QLatin1String("@BATCHS"))
        return step;
    if (text.startsWith(QLatin1String("@DIG"))) {
        if (m_header.isEmpty()) {
            step.error = QStringLiteral("%1 without a command before it").arg(text);
            return step;
        }
        if (text == QLatin1String("@DIGSAV")) {
            step.apply << Command{m_header, m_digits.toUtf8()};
            m_header.clear();
            m_digits.clear();
        } else if (text == QLatin1String("@DIGIVB")) {
            m_digits += QLatin1Char('|');
        } else {
            // "@DIGIT1,IT2": one or two characters, each behind "IT".
            for (const QString &part : text.mid(4).split(QLatin1Char(','))) {
                if (part.size() != 3 || !part.startsWith(QLatin1String("IT"))) {
                    step.error = QStringLiteral("malformed digit code %1").arg(text);
                    return step;
                }
                m_digits += part.at(2);
            }
        }
        return step;
    }
    if (!text.startsWith(QLatin1Char('@')) && !text.startsWith(QLatin1Char('#'))) {
        step.error = QStringLiteral("not a setting code: %1").arg(text);
        return step;
    }
    const Command pending = flushHeader(&had);
    if (had)
        step.apply << pending;
    const QString body = text.mid(1);
    const QStringList parts = body.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    // A lone command word in a code of its own waits for its digit codes.
    if (parts.size() == 1 && !body.contains(QLatin1Char(';')) && isCommandWord(body)) {
        m_header = body;
        return step;
    }
    for (const QString &part : parts) {
        if (!isCommandWord(part.left(6))) {
            step.error = QStringLiteral("not a command: %1").arg(part);
            continue;
        }
        step.apply << Command{part.left(6), part.mid(6).toUtf8()};
    }
    return step;
}
