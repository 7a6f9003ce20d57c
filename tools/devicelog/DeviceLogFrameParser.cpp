#include "DeviceLogFrameParser.h"

#include <QTimer>
#include <QtEndian>

namespace {
const QByteArray kMagic("KESTOR");
constexpr int kHeader = 12;
constexpr quint16 kLogLine = 4149;
}  // namespace

void DeviceLog::registerTypes()
{
    qRegisterMetaType<stLogData>("stLogData");
    qRegisterMetaType<QList<stLogData>>("QList<stLogData>");
}

QString DeviceLog::levelKey(int level)
{
    static const char *const keys[] = {"#IDS_Log_Level_Error", "#IDS_Log_Level_Warning",
                                       "#IDS_Log_Level_Info", "#IDS_Log_Level_Debug",
                                       "#IDS_Log_Level_Trace"};
    return level >= 1 && level <= 5 ? QString::fromLatin1(keys[level - 1]) : QString();
}

stLogData DeviceLogFrameParser::parseLine(const QByteArray &payload, const QString &time)
{
    stLogData line;
    line.time = time;
    const QString text = QString::fromUtf8(payload);
    int at = 0;
    while (at <= text.size()) {
        const int end = text.indexOf(QLatin1Char(';'), at);
        const int eq = text.indexOf(QLatin1Char('='), at);
        const int itemEnd = end < 0 ? text.size() : end;
        if (eq >= 0 && eq < itemEnd) {
            const QString key = text.mid(at, eq - at).trimmed();
            if (key == QLatin1String("Log Data")) {
                line.data = text.mid(eq + 1);
                while (line.data.endsWith(QLatin1Char('\n')) || line.data.endsWith(QLatin1Char('\r')))
                    line.data.chop(1);
                break;
            }
            if (key == QLatin1String("Log Lvl")) {
                bool ok = false;
                const int level = text.mid(eq + 1, itemEnd - eq - 1).trimmed().toInt(&ok);
                line.level = ok ? level : -1;
            }
        }
        if (end < 0)
            break;
        at = end + 1;
    }
    return line;
}

QList<stLogData> DeviceLogFrameParser::append(const QByteArray &bytes, const QDateTime &now)
{
    QList<stLogData> lines;
    m_buffer.append(bytes);
    const QString time = now.toString(QStringLiteral("yyyy-MM-dd_hh:mm:ss"));
    for (;;) {
        const int magic = m_buffer.indexOf(kMagic, m_at);
        if (magic < 0) {
            // Keep what may be the start of a magic.
            m_at = qMax(m_at, m_buffer.size() - (kMagic.size() - 1));
            break;
        }
        m_at = magic;
        if (m_buffer.size() - m_at < kHeader)
            break;
        const auto *p = reinterpret_cast<const uchar *>(m_buffer.constData() + m_at);
        const quint16 type = qFromBigEndian<quint16>(p + 6);
        const quint32 length = qFromBigEndian<quint32>(p + 8);
        if (length > quint32(kMaxFrame)) {
            m_at += 1;
            continue;
        }
        if (m_buffer.size() - m_at < kHeader + int(length))
            break;
        if (type == kLogLine)
            lines.append(parseLine(m_buffer.mid(m_at + kHeader, int(length)), time));
        m_at += kHeader + int(length);
    }
    // Drop what is parsed once it is a good part of the buffer, not on every call.
    if (m_at > 65536 || m_at == m_buffer.size()) {
        m_buffer.remove(0, m_at);
        m_at = 0;
    }
    return lines;
}

DeviceLogParseWorker::DeviceLogParseWorker(QObject *parent) : QObject(parent)
{
    DeviceLog::registerTypes();
}

void DeviceLogParseWorker::addData(const QByteArray &bytes)
{
    m_pending += m_parser.append(bytes);
    if (m_pending.isEmpty() || m_scheduled)
        return;
    m_scheduled = true;
    QTimer::singleShot(50, this, &DeviceLogParseWorker::flush);
}

void DeviceLogParseWorker::flush()
{
    m_scheduled = false;
    if (m_pending.isEmpty())
        return;
    // The table keeps only the last DeviceLogTableModel::kKeep lines of a batch that large: the
    // older ones need not cross to the GUI thread (nor be freed there).
    if (m_pending.size() > kBatchLimit)
        m_pending.erase(m_pending.begin(), m_pending.end() - kBatchLimit);
    emit linesParsed(m_pending);
    m_pending.clear();
}
