#include "VrDeviceLog.h"

#include <QSaveFile>

namespace {
const char *const kTimeFormat = "yyyy-MM-dd hh:mm:ss.zzz";
}

VrDeviceLog::VrDeviceLog(const QString &path, qint64 capacity)
    : m_path(path), m_capacity(qMax<qint64>(4096, capacity))
{
}

VrDeviceLog::~VrDeviceLog()
{
    flush();
}

QByteArray VrDeviceLog::formatLine(int level, const QString &text, const QDateTime &when)
{
    QByteArray line = when.toString(QLatin1String(kTimeFormat)).toLatin1();
    line += ' ';
    line += QByteArray::number(qBound(1, level, 5));
    line += ' ';
    // One event, one line: a text with line breaks would read as several events.
    QByteArray t = text.toUtf8();
    t.replace('\n', ' ').replace('\r', ' ');
    line += t;
    line += '\n';
    return line;
}

int VrDeviceLog::levelOf(const QString &line)
{
    auto has = [&line](const char *word) { return line.contains(QLatin1String(word), Qt::CaseInsensitive); };
    if (has("fault") || has("failed") || has("cannot") || has("malformed") || has("lost"))
        return Error;
    if (has("refused") || has("timed out") || has("missed") || has("not drawn"))
        return Warning;
    if (line.startsWith(QLatin1String("read ")) || line.startsWith(QLatin1String("image "))
        || line.startsWith(QLatin1String("set ")) || line.startsWith(QLatin1String("data format")))
        return Debug;
    if (line.startsWith(QLatin1Char('@')) || line.startsWith(QLatin1Char('#')) || has("restart")
        || has("firmware") || has("start") || has("network") || has("alias"))
        return Info;
    return Trace;
}

void VrDeviceLog::load()
{
    if (m_path.isEmpty())
        return;
    QFile in(m_path);
    if (in.open(QIODevice::ReadOnly)) {
        m_bytes = in.readAll();
        // A line cut by a power loss (or a killed process) is dropped.
        const int end = m_bytes.lastIndexOf('\n');
        if (end + 1 != m_bytes.size()) {
            m_bytes.truncate(end + 1);
            in.close();
            rewriteFile();
        }
    }
    trim();
}

void VrDeviceLog::fillTo(qint64 bytes)
{
    bytes = qMin(bytes, m_capacity);
    if (m_bytes.size() >= bytes)
        return;
    static const struct { int level; const char *text; } kDay[] = {
        {Info, "start: boot %1"},
        {Info, "@EXPFET%1"},
        {Debug, "read 1 code(s) in %1.4 ms"},
        {Debug, "read 1 code(s) in %1.9 ms"},
        {Warning, "refused QRCENA%1"},
        {Debug, "image #IMGGET: %1 bytes"},
        {Error, "read timed out after %1.0 ms; decode failed"},
        {Info, "#DEVNAMline-%1"},
    };
    const qint64 need = bytes - m_bytes.size();
    QByteArray history;
    history.reserve(int(qMin<qint64>(need + 256, INT_MAX - 1024)));
    // Formatting a date per line is most of the cost of a large log: the text of the second
    // is made once per second.
    qint64 ms = QDateTime::currentMSecsSinceEpoch() - 30ll * 24 * 3600 * 1000;
    qint64 second = -1;
    QByteArray secondText;
    for (qint64 i = 0; history.size() < need; ++i) {
        const auto &e = kDay[i % (sizeof(kDay) / sizeof(kDay[0]))];
        ms += 250 + (i % 7) * 113;
        if (ms / 1000 != second) {
            second = ms / 1000;
            secondText = QDateTime::fromMSecsSinceEpoch(second * 1000).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")).toLatin1();
        }
        char millis[8];
        qsnprintf(millis, sizeof(millis), ".%03d %d ", int(ms % 1000), e.level);
        history += secondText;
        history += millis;
        history += QByteArray(e.text).replace("%1", QByteArray::number(100 + i % 900));
        history += '\n';
    }
    // History is older than anything logged since: it goes first.
    m_bytes.prepend(history);
    trim();
    rewriteFile();
}

bool VrDeviceLog::append(int level, const QString &text, int maxLevel, const QDateTime &when)
{
    if (level > maxLevel)
        return false;
    const QByteArray line = formatLine(level, text, when);
    m_bytes += line;
    if (!m_path.isEmpty()) {
        if (!m_file.isOpen()) {
            m_file.setFileName(m_path);
            m_file.open(QIODevice::WriteOnly | QIODevice::Append);
        }
        m_file.write(line);
    }
    if (m_bytes.size() > m_capacity + 1024 * 1024) {
        trim();
        rewriteFile();
    }
    return true;
}

void VrDeviceLog::flush()
{
    if (m_file.isOpen())
        m_file.flush();
}

void VrDeviceLog::trim()
{
    if (m_bytes.size() <= m_capacity)
        return;
    const int cut = m_bytes.indexOf('\n', int(m_bytes.size() - m_capacity));
    m_bytes.remove(0, cut < 0 ? m_bytes.size() : cut + 1);
}

void VrDeviceLog::rewriteFile()
{
    if (m_path.isEmpty())
        return;
    m_file.close();
    QSaveFile out(m_path);
    if (out.open(QIODevice::WriteOnly) && out.write(m_bytes) == m_bytes.size())
        out.commit();
}
