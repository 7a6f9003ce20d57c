#include "KxSaveLog.h"

#include "KxSendLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>

namespace
{

QBasicMutex s_instanceMutex;
KxSaveLog *s_instance = nullptr;

// A message raised while this thread is already inside the handler (a file or socket error
// reported by Qt itself) is dropped instead of dead-locking on the log mutex.
thread_local bool t_inHandler = false;

QString executableStem()
{
    if (!QCoreApplication::instance())
        return QStringLiteral("app");
    const QString file = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    const QString stem = file.section(QLatin1Char('.'), 0, 0);
    return stem.isEmpty() ? QStringLiteral("app") : stem;
}

QString defaultPath()
{
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                        : QDir::currentPath();
}

void appendDigits(QString &out, int value, int width)
{
    QChar digits[8];
    for (int i = width - 1; i >= 0; --i) {
        digits[i] = QLatin1Char(char('0' + value % 10));
        value /= 10;
    }
    out.append(digits, width);
}

void appendTimeStamp(QString &out, const QDateTime &t)
{
    const QDate d = t.date();
    const QTime tm = t.time();
    appendDigits(out, d.year(), 4);
    out += QLatin1Char('-');
    appendDigits(out, d.month(), 2);
    out += QLatin1Char('-');
    appendDigits(out, d.day(), 2);
    out += QLatin1Char(' ');
    appendDigits(out, tm.hour(), 2);
    out += QLatin1Char(':');
    appendDigits(out, tm.minute(), 2);
    out += QLatin1Char(':');
    appendDigits(out, tm.second(), 2);
    out += QLatin1Char('.');
    appendDigits(out, tm.msec(), 3);
}

constexpr qint64 kOffsetRefreshMs = 60 * 1000;

// How many same-second file names are tried before the line is given up.
constexpr int kMaxNameSuffix = 10000;

} // namespace

KxSaveLog *KxSaveLog::instance()
{
    QMutexLocker lock(&s_instanceMutex);
    if (!s_instance)
        s_instance = new KxSaveLog; // kept until exit: the handler may run during shutdown
    return s_instance;
}

KxSaveLog::KxSaveLog(QObject *parent)
    : QObject(parent), m_path(defaultPath()), m_name(executableStem())
{
}

KxSaveLog::~KxSaveLog()
{
    stop();
}

KxSaveLog::MsgType KxSaveLog::typeBit(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return Debug;
    case QtInfoMsg:
        return Info;
    case QtWarningMsg:
        return Warning;
    case QtCriticalMsg:
        return Critical;
    case QtFatalMsg:
        return Fatal;
    }
    return Debug;
}

int KxSaveLog::maskForLevel(const QString &level)
{
    return level == QLatin1String("1") ? int(All) : int(All & ~Info);
}

QString KxSaveLog::formatLine(QtMsgType type, const QString &msg, const QDateTime &now,
                              const char *file, int line, const char *function, bool useContext)
{
    QString prefixed;
    switch (type) {
    case QtDebugMsg:
        prefixed = QStringLiteral("[Debug] ");
        break;
    case QtInfoMsg:
        prefixed = QStringLiteral("[Infox] ");
        break;
    case QtWarningMsg:
        prefixed = QStringLiteral("[Warnx] ");
        break;
    case QtCriticalMsg:
        prefixed = QStringLiteral("[Error] ");
        break;
    case QtFatalMsg:
        prefixed = QStringLiteral("[Fatal] ");
        break;
    }
    prefixed += msg;
    // "[yyyy-MM-dd HH:mm:ss.zzz] " by hand: QDateTime::toString() parses its format every time.
    QString stamped;
    stamped.reserve(prefixed.size() + 26);
    stamped += QLatin1Char('[');
    appendTimeStamp(stamped, now);
    stamped += QLatin1String("] ");
    stamped += prefixed;
    if (!useContext || !file || !*file)
        return stamped;
    return QStringLiteral("[Filex] %1(%2:%3)\n%4")
        .arg(QString::fromUtf8(file), QString::number(line),
             QString::fromUtf8(function ? function : ""), stamped);
}

void KxSaveLog::messageHandler(QtMsgType type, const QMessageLogContext &context,
                               const QString &msg)
{
    instance()->handleMessage(type, context, msg);
}

void KxSaveLog::handleMessage(QtMsgType type, const QMessageLogContext &context, const QString &msg)
{
    if (t_inHandler)
        return;
    t_inHandler = true;
    QMutexLocker lock(&m_mutex);
    if (m_msgLevel & typeBit(type)) {
        const QString line = formatLine(type, msg, now(), context.file, context.line,
                                        context.function, m_useContext);
        writeLocked(line);
    }
    t_inHandler = false;
}

void KxSaveLog::save(const QString &line)
{
    QMutexLocker lock(&m_mutex);
    writeLocked(line);
}

QDateTime KxSaveLog::now() const
{
    if (m_clock)
        return m_clock();
    // Local time costs a time-zone file lookup per call; the offset is refreshed each minute
    // instead, so a daylight-saving change shows within a minute.
    const qint64 utcMs = QDateTime::currentMSecsSinceEpoch();
    if (utcMs >= m_offsetValidUntilMs || utcMs < m_offsetValidUntilMs - kOffsetRefreshMs) {
        m_utcOffsetSecs = QDateTime::fromMSecsSinceEpoch(utcMs).offsetFromUtc();
        m_offsetValidUntilMs = utcMs + kOffsetRefreshMs;
    }
    return QDateTime::fromMSecsSinceEpoch(utcMs, Qt::OffsetFromUTC, m_utcOffsetSecs);
}

void KxSaveLog::writeLocked(const QString &line)
{
    if (m_toNet) {
        emit send(line);
        return;
    }
    const QDateTime time = now();
    if (needNewFile(time))
        openNewFile(time);
    if (!m_file || !m_file->isOpen())
        return; // the file cannot be opened: the line is dropped
    QByteArray bytes = line.toUtf8();
    bytes.append('\n');
    const qint64 written = m_file->write(bytes);
    m_file->flush();
    if (written > 0)
        m_fileSize += written;
    ++m_rowCount;
}

bool KxSaveLog::needNewFile(const QDateTime &now)
{
    if (!m_file || !m_file->isOpen())
        return true;
    if (m_maxRow <= 0 && m_maxSize <= 0) {
        const QString day = QStringLiteral("%1/%2_%3.log")
                                .arg(m_path, m_name, now.toString(QStringLiteral("yyyy-MM-dd")));
        return day != m_fileName;
    }
    if (m_maxRow > 0)
        return m_rowCount >= m_maxRow;
    // Counted, not asked of the file system: one stat per line would cost as much as the write.
    return m_fileSize > qint64(m_maxSize) * 1024;
}

void KxSaveLog::openNewFile(const QDateTime &now)
{
    closeFile();
    m_rowCount = 0;
    if (m_path.isEmpty() || !QDir().mkpath(m_path))
        return;
    QString fileName;
    if (m_maxRow <= 0 && m_maxSize <= 0) {
        fileName = QStringLiteral("%1/%2_%3.log")
                       .arg(m_path, m_name, now.toString(QStringLiteral("yyyy-MM-dd")));
    } else {
        // Rotation can happen more than once a second: a name already taken gets a counter,
        // so a new file never appends to (or truncates) an older one.
        const QString stamp = now.toString(QStringLiteral("yyyyMMdd_HH.mm.ss"));
        fileName = QStringLiteral("%1/%2_%3.log").arg(m_path, m_name, stamp);
        for (int i = 1; QFileInfo::exists(fileName) && i <= kMaxNameSuffix; ++i) {
            fileName = QStringLiteral("%1/%2_%3.log")
                           .arg(m_path, m_name, stamp + QLatin1Char('_') + QString::number(i));
        }
        if (QFileInfo::exists(fileName))
            return;
    }
    auto *file = new QFile(fileName);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append)) {
        delete file;
        return;
    }
    m_file = file;
    m_fileName = fileName;
    m_fileSize = file->size();
}

void KxSaveLog::closeFile()
{
    if (m_file) {
        m_file->close();
        delete m_file.data();
    }
    m_file.clear();
}

void KxSaveLog::start()
{
    QMutexLocker lock(&m_mutex);
    if (m_installed)
        return;
    m_previous = qInstallMessageHandler(&KxSaveLog::messageHandler);
    m_installed = true;
}

void KxSaveLog::stop()
{
    QMutexLocker lock(&m_mutex);
    if (m_installed) {
        qInstallMessageHandler(m_previous);
        m_previous = nullptr;
        m_installed = false;
    }
    closeFile();
}

void KxSaveLog::clear()
{
    QMutexLocker lock(&m_mutex);
    closeFile();
    m_fileName.clear();
    m_rowCount = 0;
    QDir dir(m_path);
    const QStringList files =
        dir.entryList({m_name + QStringLiteral("_*.log")}, QDir::Files | QDir::NoDotAndDotDot);
    for (const QString &f : files)
        dir.remove(f);
}

void KxSaveLog::setMaxRow(int rows)
{
    QMutexLocker lock(&m_mutex);
    m_maxRow = rows;
}

void KxSaveLog::setMaxSize(int kiloBytes)
{
    QMutexLocker lock(&m_mutex);
    m_maxSize = kiloBytes;
}

void KxSaveLog::setListenPort(int port)
{
    KxSendLog::instance()->setListenPort(port);
}

void KxSaveLog::setToNet(bool on)
{
    {
        QMutexLocker lock(&m_mutex);
        m_toNet = on;
    }
    KxSendLog *server = KxSendLog::instance();
    if (on) {
        connect(this, &KxSaveLog::send, server, &KxSendLog::send, Qt::UniqueConnection);
        server->start();
    } else {
        server->stop();
    }
}

void KxSaveLog::setUseContext(bool on)
{
    QMutexLocker lock(&m_mutex);
    m_useContext = on;
}

void KxSaveLog::setPath(const QString &path)
{
    QMutexLocker lock(&m_mutex);
    if (path == m_path)
        return;
    m_path = path;
    closeFile(); // the next line opens a file in the new directory
}

void KxSaveLog::setName(const QString &name)
{
    QMutexLocker lock(&m_mutex);
    if (name == m_name)
        return;
    m_name = name;
    closeFile();
}

void KxSaveLog::setMsgType(KxSaveLog::MsgTypes types)
{
    QMutexLocker lock(&m_mutex);
    m_msgLevel = int(types);
}

void KxSaveLog::setMsgLevel(const QString &level)
{
    if (level.isEmpty())
        return; // keeps the current mask
    QMutexLocker lock(&m_mutex);
    m_msgLevel = maskForLevel(level);
}

void KxSaveLog::setClock(std::function<QDateTime()> clock)
{
    QMutexLocker lock(&m_mutex);
    m_clock = std::move(clock);
}

bool KxSaveLog::isInstalled() const
{
    QMutexLocker l(&m_mutex);
    return m_installed;
}
int KxSaveLog::msgLevel() const
{
    QMutexLocker l(&m_mutex);
    return m_msgLevel;
}
int KxSaveLog::maxRow() const
{
    QMutexLocker l(&m_mutex);
    return m_maxRow;
}
int KxSaveLog::maxSize() const
{
    QMutexLocker l(&m_mutex);
    return m_maxSize;
}
bool KxSaveLog::toNet() const
{
    QMutexLocker l(&m_mutex);
    return m_toNet;
}
QString KxSaveLog::path() const
{
    QMutexLocker l(&m_mutex);
    return m_path;
}
QString KxSaveLog::name() const
{
    QMutexLocker l(&m_mutex);
    return m_name;
}
QString KxSaveLog::currentFileName() const
{
    QMutexLocker l(&m_mutex);
    return m_fileName;
}
