#include "FtpControlConnection.h"

#include "DataConnection.h"
#include "FtpCommand.h"
#include "FtpListing.h"
#include "FtpReplies.h"
#include "FtpServer.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSslSocket>

namespace {
bool servedBeforeLogin(const QString &command)
{
    return command == QLatin1String("USER") || command == QLatin1String("PASS")
        || command == QLatin1String("QUIT") || command == QLatin1String("AUTH")
        || command == QLatin1String("FEAT");
}

bool isWriting(const QString &command)
{
    static const QStringList writing = {QStringLiteral("STOR"), QStringLiteral("MKD"),
                                        QStringLiteral("RMD"),  QStringLiteral("DELE"),
                                        QStringLiteral("RNFR"), QStringLiteral("RNTO"),
                                        QStringLiteral("APPE")};
    return writing.contains(command);
}

QHostAddress plainIPv4(const QHostAddress &address)
{
    bool ok = false;
    const quint32 v4 = address.toIPv4Address(&ok);
    return ok ? QHostAddress(v4) : address;
}
} // namespace

FtpControlConnection::FtpControlConnection(QSslSocket *socket, FtpServer *server)
    : QObject(server)
    , m_socket(socket)
    , m_server(server)
    , m_config(server->config())
    , m_paths(server->config().root)
    , m_data(new DataConnection(plainIPv4(socket->peerAddress()), m_config.dataTimeoutMs, this))
{
    socket->setParent(this);
    connect(socket, &QSslSocket::readyRead, this, &FtpControlConnection::readLines);
    connect(socket, &QSslSocket::disconnected, this, &FtpControlConnection::close);
    connect(m_data, &DataConnection::finished, this, [this](bool, const QString &text) {
        m_busy = false;
        m_idle.start(m_config.idleTimeoutMs);
        reply(text);
        readLines();
    });
    m_idle.setSingleShot(true);
    connect(&m_idle, &QTimer::timeout, this, [this] {
        reply(FtpReplies::idleTimeout());
        close();
    });
    m_idle.start(m_config.idleTimeoutMs);
    reply(FtpReplies::greeting());
}

FtpControlConnection::~FtpControlConnection() = default;

QHostAddress FtpControlConnection::peerAddress() const
{
    return plainIPv4(m_socket->peerAddress());
}

void FtpControlConnection::reply(const QString &text)
{
    if (m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->write(text.toUtf8());
}

void FtpControlConnection::close()
{
    if (m_closing)
        return;
    m_closing = true;
    m_idle.stop();
    m_data->reset();
    // The last reply leaves before the connection goes; a client that never reads gets cut off.
    if (m_socket->state() == QAbstractSocket::UnconnectedState) {
        emit closed();
        return;
    }
    connect(m_socket, &QSslSocket::disconnected, this, &FtpControlConnection::closed);
    QTimer::singleShot(10000, this, [this] { m_socket->abort(); });
    m_socket->disconnectFromHost();
}

void FtpControlConnection::readLines()
{
    if (m_closing)
        return;
    m_buffer += m_socket->readAll();
    // While a transfer runs the next commands wait, as clients expect their replies in order.
    while (!m_busy && !m_closing) {
        const int end = m_buffer.indexOf('\n');
        if (end < 0) {
            if (m_buffer.size() > m_config.maxLineLength) {
                reply(FtpReplies::lineTooLong());
                close();
            }
            return;
        }
        if (end > m_config.maxLineLength) {
            reply(FtpReplies::lineTooLong());
            close();
            return;
        }
        QByteArray line = m_buffer.left(end);
        m_buffer.remove(0, end + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        m_idle.start(m_config.idleTimeoutMs);
        handle(QString::fromUtf8(line));
    }
}

const QHash<QString, FtpControlConnection::Handler> &FtpControlConnection::handlers()
{
    using C = FtpControlConnection;
    static const QHash<QString, Handler> table = {
        {QStringLiteral("USER"), &C::cmdUser}, {QStringLiteral("PASS"), &C::cmdPass},
        {QStringLiteral("QUIT"), &C::cmdQuit}, {QStringLiteral("AUTH"), &C::cmdAuth},
        {QStringLiteral("FEAT"), &C::cmdFeat}, {QStringLiteral("PWD"), &C::cmdPwd},
        {QStringLiteral("CWD"), &C::cmdCwd},   {QStringLiteral("CDUP"), &C::cmdCdup},
        {QStringLiteral("TYPE"), &C::cmdOkay}, {QStringLiteral("PORT"), &C::cmdPort},
        {QStringLiteral("PASV"), &C::cmdPasv}, {QStringLiteral("LIST"), &C::cmdList},
        {QStringLiteral("NLST"), &C::cmdNlst}, {QStringLiteral("RETR"), &C::cmdRetr},
        {QStringLiteral("REST"), &C::cmdRest}, {QStringLiteral("SIZE"), &C::cmdSize},
        {QStringLiteral("SYST"), &C::cmdSyst}, {QStringLiteral("PROT"), &C::cmdNotImplemented},
        {QStringLiteral("OPTS"), &C::cmdOpts}, {QStringLiteral("PBSZ"), &C::cmdOkay},
        {QStringLiteral("NOOP"), &C::cmdOkay}, {QStringLiteral("STOR"), &C::cmdStor},
        {QStringLiteral("MKD"), &C::cmdMkd},   {QStringLiteral("RMD"), &C::cmdRmd},
        {QStringLiteral("DELE"), &C::cmdDele}, {QStringLiteral("RNFR"), &C::cmdRnfr},
        {QStringLiteral("RNTO"), &C::cmdRnto}, {QStringLiteral("APPE"), &C::cmdNotImplemented},
    };
    return table;
}

void FtpControlConnection::handle(const QString &line)
{
    const int space = line.indexOf(QLatin1Char(' '));
    const QString command = (space < 0 ? line : line.left(space)).toUpper();
    const QString arg = space < 0 ? QString() : line.mid(space + 1);
    // The password never reaches the log.
    qDebug().noquote() << "FTP" << peerAddress().toString() << "<<"
                       << (command == QLatin1String("PASS") ? QStringLiteral("PASS ****") : line);
    const Handler handler = handlers().value(command);
    if (!handler) {
        reply(FtpReplies::notImplemented());
        return;
    }
    if (!m_loggedIn && !servedBeforeLogin(command)) {
        reply(FtpReplies::loginFirst());
        return;
    }
    if (command != QLatin1String("RNTO"))
        m_renameFrom.clear();
    if (m_config.readOnly && isWriting(command)) {
        reply(FtpReplies::readOnly());
        return;
    }
    (this->*handler)(arg);
}

void FtpControlConnection::cmdUser(const QString &arg)
{
    m_loggedIn = false;
    m_user = arg;
    reply(FtpReplies::userOk());
}

void FtpControlConnection::cmdPass(const QString &arg)
{
    const QHostAddress peer = peerAddress();
    if (!m_server->isLockedOut(peer) && !m_user.isNull() && m_user == m_config.user
        && arg == m_config.password) {
        m_loggedIn = true;
        m_server->loginSucceeded(peer);
        reply(FtpReplies::loggedIn());
        return;
    }
    m_loggedIn = false;
    m_user.clear();
    m_server->loginFailed(peer);
    reply(FtpReplies::loginIncorrect());
    qInfo().noquote() << "FTP login failed from" << peer.toString();
    if (++m_failedLogins >= m_config.maxFailedLogins || m_server->isLockedOut(peer))
        close();
}

void FtpControlConnection::cmdQuit(const QString &)
{
    reply(FtpReplies::quitting());
    close();
}

void FtpControlConnection::cmdAuth(const QString &arg)
{
    const QString mode = arg.trimmed().toUpper();
    const FtpCertificate &identity = m_server->certificate();
    if (m_socket->isEncrypted() || !identity.isValid()
        || (mode != QLatin1String("TLS") && mode != QLatin1String("SSL")
            && mode != QLatin1String("TLS-C"))) {
        reply(FtpReplies::notImplemented());
        return;
    }
    reply(FtpReplies::authTls());
    m_socket->setLocalCertificate(identity.certificate);
    m_socket->setPrivateKey(identity.key);
    m_socket->setProtocol(QSsl::TlsV1_2OrLater);
    m_socket->startServerEncryption();
}

void FtpControlConnection::cmdFeat(const QString &)
{
    reply(FtpReplies::features());
}

void FtpControlConnection::cmdPwd(const QString &)
{
    reply(FtpReplies::pwd(m_cwd));
}

void FtpControlConnection::cmdCwd(const QString &arg)
{
    const QString target = FtpPaths::normalise(m_cwd, arg);
    const QString local = m_paths.existing(target);
    if (local.isEmpty() || !QFileInfo(local).isDir()) {
        reply(FtpReplies::fileUnavailable());
        return;
    }
    m_cwd = target;
    reply(FtpReplies::actionOk());
}

void FtpControlConnection::cmdCdup(const QString &)
{
    cmdCwd(QStringLiteral(".."));
}

void FtpControlConnection::cmdOkay(const QString &)
{
    reply(FtpReplies::okay());
}

void FtpControlConnection::cmdOpts(const QString &arg)
{
    if (arg.trimmed().compare(QLatin1String("UTF8 ON"), Qt::CaseInsensitive) == 0)
        reply(FtpReplies::okay());
    else
        reply(FtpReplies::notImplemented());
}

// Active mode connects only back to the client itself and never to a privileged port, so the
// server cannot be used to reach a third host.
void FtpControlConnection::cmdPort(const QString &arg)
{
    static const QRegularExpression re(QStringLiteral("\\s*(\\d+,\\d+,\\d+,\\d+),(\\d+),(\\d+)"));
    const QRegularExpressionMatch m = re.match(arg);
    const int hi = m.hasMatch() ? m.captured(2).toInt() : -1;
    const int lo = m.hasMatch() ? m.captured(3).toInt() : -1;
    const QHostAddress address(m.captured(1).replace(QLatin1Char(','), QLatin1Char('.')));
    const int port = hi * 256 + lo;
    if (!m.hasMatch() || hi > 255 || lo > 255 || port < 1024 || address.isNull()
        || !address.isEqual(peerAddress(), QHostAddress::TolerantConversion)) {
        m_data->reset();
        reply(FtpReplies::badPort());
        return;
    }
    m_data->setActive(address, quint16(port));
    reply(FtpReplies::okay());
}

void FtpControlConnection::cmdPasv(const QString &)
{
    const QHostAddress local = plainIPv4(m_socket->localAddress());
    const quint16 port = m_data->listenPassive(local);
    if (port == 0) {
        reply(FtpReplies::noDataConnection());
        return;
    }
    reply(FtpReplies::passive(local.toString().replace(QLatin1Char('.'), QLatin1Char(',')),
                              port >> 8, port & 0xff));
}

void FtpControlConnection::startTransfer(FtpCommand *command, const QString &storedPath)
{
    if (!m_data->isReady()) {
        delete command;
        reply(FtpReplies::noDataConnection());
        return;
    }
    m_busy = true;
    m_idle.stop();
    if (!storedPath.isEmpty()) {
        connect(command, &FtpCommand::finished, m_server, [server = m_server, storedPath](bool ok) {
            if (ok)
                server->recordUpload(storedPath);
        });
    }
    reply(FtpReplies::transferStarting());
    m_data->run(command);
}

void FtpControlConnection::list(const QString &arg, bool namesOnly)
{
    // Options such as "-la" that clients add are not paths.
    QStringList words = arg.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    while (!words.isEmpty() && words.first().startsWith(QLatin1Char('-')))
        words.removeFirst();
    const QString target = FtpPaths::normalise(m_cwd, words.join(QLatin1Char(' ')));
    const QString local = m_paths.existing(target);
    if (local.isEmpty() || !QFileInfo(local).isReadable()) {
        reply(FtpReplies::notReadable());
        return;
    }
    QFileInfoList entries;
    const QFileInfo info(local);
    if (info.isDir()) {
        const QFileInfoList all = QDir(local).entryInfoList(
            QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
        for (const QFileInfo &entry : all) {
            // A link that leads out of the root is not shown, so nothing about its target leaks.
            if (!entry.isSymLink() || !m_paths.existing(m_paths.toVirtual(entry.absoluteFilePath())).isEmpty())
                entries << entry;
        }
    } else {
        entries << info;
    }
    // Listings compare with the real clock, as the files' own times are real.
    const QDateTime now = QDateTime::currentDateTime();
    QStringList lines;
    for (const QFileInfo &entry : qAsConst(entries))
        lines << (namesOnly ? entry.fileName() : FtpListing::longLine(entry, now));
    startTransfer(new FtpListCommand(lines));
}

void FtpControlConnection::cmdList(const QString &arg)
{
    list(arg, false);
}

void FtpControlConnection::cmdNlst(const QString &arg)
{
    list(arg, true);
}

void FtpControlConnection::cmdRetr(const QString &arg)
{
    const QString local = m_paths.existing(FtpPaths::normalise(m_cwd, arg));
    const qint64 offset = m_restOffset;
    m_restOffset = 0;
    const QFileInfo info(local);
    if (local.isEmpty() || !info.isFile() || !info.isReadable() || offset > info.size()) {
        reply(FtpReplies::fileUnavailable());
        return;
    }
    startTransfer(new FtpRetrCommand(local, offset));
}

void FtpControlConnection::cmdRest(const QString &arg)
{
    bool ok = false;
    const qint64 offset = arg.trimmed().toLongLong(&ok);
    if (!ok || offset < 0) {
        reply(FtpReplies::fileUnavailable());
        return;
    }
    m_restOffset = offset;
    reply(FtpReplies::pending());
}

void FtpControlConnection::cmdSize(const QString &arg)
{
    const QString local = m_paths.existing(FtpPaths::normalise(m_cwd, arg));
    const QFileInfo info(local);
    if (local.isEmpty() || !info.isFile()) {
        reply(FtpReplies::fileUnavailable());
        return;
    }
    reply(FtpReplies::size(info.size()));
}

void FtpControlConnection::cmdSyst(const QString &)
{
    reply(FtpReplies::system());
}

void FtpControlConnection::cmdNotImplemented(const QString &)
{
    reply(FtpReplies::notImplemented());
}

// Uploads never overwrite: the stored name carries the time of arrival, and a clash within the
// same second gets a counter.
void FtpControlConnection::cmdStor(const QString &arg)
{
    const QString target = FtpPaths::normalise(m_cwd, arg);
    const QString requested = m_paths.creatable(target);
    if (requested.isEmpty() || arg.trimmed().isEmpty() || QFileInfo(requested).isDir()) {
        reply(FtpReplies::fileUnavailable());
        return;
    }
    const QFileInfo info(requested);
    const QString dir = info.absolutePath();
    if (m_server->refuseForSpace(dir)) {
        reply(FtpReplies::noSpace());
        return;
    }
    const QString stamp = m_server->now().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    QString stored = QStringLiteral("%1/%2_%3%4").arg(dir, info.completeBaseName(), stamp, suffix);
    for (int n = 2; QFileInfo::exists(stored) || QFileInfo(stored).isSymLink(); ++n) {
        stored = QStringLiteral("%1/%2_%3_%4%5").arg(dir, info.completeBaseName(), stamp).arg(n).arg(suffix);
    }
    auto *command = new FtpStorCommand(stored, m_config.maxUploadBytes);
    if (!command->open()) {
        delete command;
        reply(FtpReplies::writeFailed());
        return;
    }
    startTransfer(command, stored);
}

void FtpControlConnection::cmdMkd(const QString &arg)
{
    const QString target = FtpPaths::normalise(m_cwd, arg);
    const QString local = m_paths.creatable(target);
    if (local.isEmpty() || QFileInfo::exists(local) || !QDir().mkdir(local)) {
        reply(FtpReplies::fileUnavailable());
        return;
    }
    reply(FtpReplies::created(target));
}

void FtpControlConnection::cmdRmd(const QString &arg)
{
    const QString target = FtpPaths::normalise(m_cwd, arg);
    const QString local = m_paths.existing(target);
    const QFileInfo info(local);
    if (local.isEmpty() || target == QLatin1String("/") || info.isSymLink() || !info.isDir()
        || !QDir().rmdir(local)) {
        reply(FtpReplies::fileUnavailable());
        return;
    }
    reply(FtpReplies::actionOk());
}

void FtpControlConnection::cmdDele(const QString &arg)
{
    const QString local = m_paths.existing(FtpPaths::normalise(m_cwd, arg));
    const QFileInfo info(local);
    if (local.isEmpty() || info.isDir() || !QFile::remove(local)) {
        reply(FtpReplies::fileUnavailable());
        return;
    }
    reply(FtpReplies::actionOk());
}

void FtpControlConnection::cmdRnfr(const QString &arg)
{
    const QString target = FtpPaths::normalise(m_cwd, arg);
    if (target == QLatin1String("/") || m_paths.existing(target).isEmpty()) {
        reply(FtpReplies::fileUnavailable());
        return;
    }
    m_renameFrom = target;
    reply(FtpReplies::pending());
}

void FtpControlConnection::cmdRnto(const QString &arg)
{
    const QString fromVirtual = m_renameFrom;
    m_renameFrom.clear();
    if (fromVirtual.isEmpty()) {
        reply(FtpReplies::badSequence());
        return;
    }
    const QString from = m_paths.existing(fromVirtual);
    const QString to = m_paths.creatable(FtpPaths::normalise(m_cwd, arg));
    if (from.isEmpty() || to.isEmpty() || QFileInfo::exists(to) || QFileInfo(to).isSymLink()
        || !QDir().rename(from, to)) {
        reply(FtpReplies::fileUnavailable());
        return;
    }
    reply(FtpReplies::actionOk());
}
