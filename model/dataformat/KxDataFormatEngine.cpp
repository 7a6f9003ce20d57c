// The commands at work: a pointer walks the decoded data, send commands copy from it to the
// output, insertion commands add to the output, searches and moves place the pointer, and a
// search or comparison that does not hold makes the rule fail.
#include "KxDataFormat.h"

namespace {

class Run
{
public:
    Run(const QByteArray &data, const QString &codeId) : m_in(data), m_codeId(codeId) {}

    KxDataFormatOutcome exec(const QList<KxDataFormatCommand> &commands)
    {
        KxDataFormatOutcome out;
        const KxDataFormatCommand *previous = nullptr;
        for (const KxDataFormatCommand &c : commands) {
            if (c.code == QLatin1String("EE")) {
                // Runs the command before it again, as many more times as asked.
                if (!previous)
                    return failed(QStringLiteral("EE has no command to repeat"));
                for (int i = 0, n = c.params[0].toInt(); i < n; ++i) {
                    if (!step(*previous))
                        return failed(m_error);
                }
                continue;
            }
            if (!step(c))
                return failed(m_error);
            if (m_discard) {
                out.kind = KxDataFormatOutcome::Discarded;
                out.delayMs = m_delay;
                return out;
            }
            previous = &c;
        }
        out.kind = KxDataFormatOutcome::Formatted;
        out.output = m_out;
        out.delayMs = m_delay;
        return out;
    }

private:
    KxDataFormatOutcome failed(const QString &why) const
    {
        KxDataFormatOutcome o;
        o.kind = KxDataFormatOutcome::Failed;
        o.error = why;
        return o;
    }
    bool fail(const QString &why)
    {
        m_error = why;
        return false;
    }
    // Copies input bytes to the output, leaving out suppressed characters.
    void send(int from, int to)
    {
        for (int i = from; i < to; ++i) {
            if (!m_suppressed.contains(m_in[i]))
                m_out += m_in[i];
        }
    }
    // Replaces up to limit occurrences (all when limit < 0) after the pointer.
    void replace(const QByteArray &what, const QByteArray &with, int limit)
    {
        int at = m_in.indexOf(what, m_p);
        for (int done = 0; at >= 0 && (limit < 0 || done < limit); ++done) {
            m_in.replace(at, what.size(), with);
            at = m_in.indexOf(what, at + with.size());
        }
    }
    bool isDigit(int i) const { return m_in[i] >= '0' && m_in[i] <= '9'; }

    bool step(const KxDataFormatCommand &c)
    {
        const QString &k = c.code;
        const QList<QByteArray> &p = c.params;
        const int size = m_in.size();
        auto num = [&p](int i) { return p[i].toInt(); };
        if (k == QLatin1String("F1")) {
            send(m_p, size);
            m_p = size;
            m_out += p[0];
        } else if (k == QLatin1String("B9")) {
            m_out += p[0];
        } else if (k == QLatin1String("F2")) {
            if (m_p + num(0) > size)
                return fail(QStringLiteral("F2: fewer than %1 characters left").arg(num(0)));
            send(m_p, m_p + num(0));
            m_p += num(0);
            m_out += p[1];
        } else if (k == QLatin1String("F3")) {
            const int at = m_in.indexOf(p[0], m_p);
            if (at < 0)
                return fail(QStringLiteral("F3: character not found"));
            send(m_p, at);
            m_p = at;
            m_out += p[1];
        } else if (k == QLatin1String("E9")) {
            if (size - num(0) < m_p)
                return fail(QStringLiteral("E9: fewer than %1 characters left").arg(num(0)));
            send(m_p, size - num(0));
            m_p = size - num(0);
        } else if (k == QLatin1String("F4")) {
            m_out += p[0].repeated(num(1));
        } else if (k == QLatin1String("B3")) {
            m_out += m_codeId.toLatin1();
        } else if (k == QLatin1String("B4")) {
            m_out += QByteArray::number(size);
        } else if (k == QLatin1String("B5")) {
            m_out += p[0];
        } else if (k == QLatin1String("B8")) {
            m_discard = true;
        } else if (k == QLatin1String("E4")) {
            replace(p[0], p[1], -1);
        } else if (k == QLatin1String("BA")) {
            replace(p[1], p[2], num(0));
        } else if (k == QLatin1String("FB")) {
            m_suppressed += p[0];
        } else if (k == QLatin1String("F8") || k == QLatin1String("B0")) {
            const int at = m_in.indexOf(p[0], m_p);
            if (at < 0)
                return fail(QStringLiteral("%1: not found after the pointer").arg(k));
            m_p = at;
        } else if (k == QLatin1String("E6")) {
            while (m_p < size && m_in[m_p] == p[0][0])
                ++m_p;
        } else if (k == QLatin1String("EC") || k == QLatin1String("ED")) {
            const bool digit = k == QLatin1String("EC");
            int i = m_p;
            while (i < size && isDigit(i) != digit)
                ++i;
            if (i >= size)
                return fail(QStringLiteral("%1: no %2 after the pointer").arg(k, digit ? QStringLiteral("digit") : QStringLiteral("non-digit")));
            m_p = i;
        } else if (k == QLatin1String("F9") || k == QLatin1String("B1")) {
            const int at = m_p > 0 ? m_in.lastIndexOf(p[0], m_p - 1) : -1;
            if (at < 0)
                return fail(QStringLiteral("%1: not found before the pointer").arg(k));
            m_p = at;
        } else if (k == QLatin1String("E7")) {
            int i = m_p - 1;
            while (i >= 0 && m_in[i] == p[0][0])
                --i;
            if (i < 0)
                return fail(QStringLiteral("E7: only that character before the pointer"));
            m_p = i;
        } else if (k == QLatin1String("F5")) {
            if (m_p + num(0) > size)
                return fail(QStringLiteral("F5: past the end"));
            m_p += num(0);
        } else if (k == QLatin1String("F6")) {
            if (m_p - num(0) < 0)
                return fail(QStringLiteral("F6: before the start"));
            m_p -= num(0);
        } else if (k == QLatin1String("F7")) {
            m_p = 0;
        } else if (k == QLatin1String("EA")) {
            m_p = size;
        } else if (k == QLatin1String("FE") || k == QLatin1String("B2")) {
            if (m_in.mid(m_p, p[0].size()) != p[0])
                return fail(QStringLiteral("%1: comparison does not hold").arg(k));
            m_p += p[0].size();
        } else if (k == QLatin1String("EF")) {
            m_delay += num(0);
        } else {
            return fail(QStringLiteral("unknown command %1").arg(k));
        }
        return true;
    }

    QByteArray m_in;
    QString m_codeId;
    QByteArray m_out;
    QByteArray m_suppressed;
    QString m_error;
    int m_p = 0;
    int m_delay = 0;
    bool m_discard = false;
};

}  // namespace

namespace KxDataFormatEngine {

KxDataFormatOutcome run(const QString &commands, const QByteArray &data, const QString &codeId)
{
    QList<KxDataFormatCommand> list;
    QString error;
    if (!KxDataFormatCommands::decode(commands, &list, &error)) {
        KxDataFormatOutcome o;
        o.kind = KxDataFormatOutcome::Failed;
        o.error = error;
        return o;
    }
    return Run(data, codeId).exec(list);
}

KxDataFormatOutcome apply(const QList<KxDataFormatRule> &rules, const QByteArray &data,
                          const QString &codeId)
{
    KxDataFormatOutcome last;
    for (const KxDataFormatRule &r : rules) {
        const bool symbology = r.symbology == QLatin1String(KxDataFormatText::kAllSymbologies) || r.symbology == codeId;
        const bool length = r.length == KxDataFormatText::kAnyLength || r.length == data.size();
        if (!symbology || !length)
            continue;
        KxDataFormatOutcome o = run(r.commands, data, codeId);
        o.rule = r;
        if (o.kind != KxDataFormatOutcome::Failed)
            return o;
        last = o;
    }
    return last;
}

}  // namespace KxDataFormatEngine
