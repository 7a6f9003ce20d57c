#include "KxUpdater.h"

#include "KxConfig.h"
#include "KxSettings.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtConcurrent>

namespace
{

QByteArray md5OfFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Md5);
    hash.addData(&f);
    return hash.result().toHex();
}

} // namespace

KxUpdater::KxUpdater(QObject *parent) : QObject(parent), m_request(new KxHttpRequest(this))
{
    m_launcher = [](const QString &program, const QStringList &args) {
        return QProcess::startDetached(program, args);
    };
    m_quitter = [] { QCoreApplication::quit(); };
    connect(&m_md5Watcher, &QFutureWatcher<QByteArray>::finished, this, [this] {
        const QByteArray actual = m_md5Watcher.result();
        const QByteArray expected = m_info.md5.trimmed().toLower().toLatin1();
        if (m_cancelled) {
            // Cancelled while checking: an unverified installer is not kept.
            QFile::remove(m_file);
            m_file.clear();
            emit downloadFinished(Cancel);
        } else if (actual != expected) {
            qWarning() << "KxUpdater::downloadInstaller, md5 mismatch" << actual << expected;
            QFile::remove(m_file);
            m_file.clear();
            emit downloadFinished(Failure);
        } else {
            emit downloadFinished(Success);
        }
    });
}

QString KxUpdater::serviceAddress()
{
    return KxSettings::instance()
        ->value(QStringLiteral("update"), QStringLiteral("url"), QStringLiteral("http://127.0.0.1:9000"))
        .toString();
}

QUrl KxUpdater::checkUrl()
{
    QString base = serviceAddress();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return QUrl(base + QStringLiteral("/brevan/v1.0.0/checkUpdate"));
}

QByteArray KxUpdater::requestBody(const QString &region)
{
    QJsonObject o{{QStringLiteral("AppName"), KxConfig::applicationName()},
                  {QStringLiteral("Version"), KxConfig::versionString()}};
    if (!region.isEmpty())
        o.insert(QStringLiteral("region"), region);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

int KxUpdater::evaluateAnswer(const QByteArray &body, UpdateInfo *info)
{
    const QJsonObject o = QJsonDocument::fromJson(body).object();
    UpdateInfo i;
    i.code = o.value(QStringLiteral("code")).toString();
    i.appName = o.value(QStringLiteral("AppName")).toString();
    i.version = o.value(QStringLiteral("Version")).toString();
    i.url = o.value(QStringLiteral("Url")).toString();
    i.md5 = o.value(QStringLiteral("md5")).toString();
    i.size = qint64(o.value(QStringLiteral("size")).toDouble());
    if (info)
        *info = i;
    const QUrl url(i.url);
    const bool offered = i.code == QLatin1String("0000") && i.appName == KxConfig::applicationName()
        && !i.version.isEmpty() && !i.url.isEmpty() && url.isValid() && !url.scheme().isEmpty();
    return offered ? Success : NoUpdate;
}

QString KxUpdater::updaterProgram()
{
    return KxConfig::instance()->installDir() + QStringLiteral("/update/brevan-update");
}

QString KxUpdater::downloadDir() const
{
    return KxConfig::instance()->subDir(QStringLiteral("upgrade"));
}

void KxUpdater::checkForUpdate()
{
    KxSettings *settings = KxSettings::instance();
    const QByteArray body = requestBody(settings->hasRegion() ? settings->region() : QString());
    m_request->post(checkUrl(), body, [this](KxHttpRequest::ErrorCode code, const QByteArray &answer) {
        qDebug() << "KxUpdater::checkForUpdate..." << code << answer;
        int result = NoUpdate;
        if (code == KxHttpRequest::Cancelled)
            result = Cancel;
        else if (code != KxHttpRequest::NoError)
            result = Failure;
        else
            result = evaluateAnswer(answer, &m_info);
        emit checkForUpdateResult(result);
    }, 30000);
}

void KxUpdater::downloadInstaller()
{
    m_cancelled = false;
    m_file.clear();
    // Versions arrive as "V2.03.007.1": the name gets one "V", not two.
    QString version = m_info.version;
    if (version.startsWith(QLatin1Char('V'), Qt::CaseInsensitive))
        version.remove(0, 1);
    const QString name = QStringLiteral("%1_V%2.zip").arg(m_info.appName, version);
    const QString dir = downloadDir();
    emit downloadStarted();
    m_request->downloadFile(
        QUrl(m_info.url), dir, name,
        [this](KxHttpRequest::ErrorCode code, const QString &path) {
            qDebug() << "KxUpdater::downloadInstaller, finished ..." << code << path;
            if (code == KxHttpRequest::NoError)
                verifyDownload(path);
            else
                emit downloadFinished(code == KxHttpRequest::Cancelled ? Cancel : Failure);
        },
        [this](int percentage) {
            qDebug() << "KxUpdater::downloadInstaller, progress ..." << percentage;
            emit downloadProgressChanged(percentage);
        },
        600000);
}

void KxUpdater::verifyDownload(const QString &path)
{
    m_file = path;
    if (m_info.md5.trimmed().isEmpty()) {
        emit downloadFinished(Success);
        return;
    }
    // Hashing a large installer must not hold up the window.
    m_md5Watcher.setFuture(QtConcurrent::run(md5OfFile, path));
}

bool KxUpdater::install()
{
    const QString program = updaterProgram();
    if (m_file.isEmpty() || QFileInfo(m_file).suffix().compare(QLatin1String("zip"), Qt::CaseInsensitive) != 0
        || !QFileInfo::exists(m_file) || !QFileInfo(program).isExecutable()) {
        qWarning() << "KxUpdater::install...cannot install" << m_file << program;
        return false;
    }
    const QStringList args{QFileInfo(m_file).absoluteFilePath(), m_info.version, QStringLiteral("--wait-pid"),
                           QString::number(QCoreApplication::applicationPid())};
    if (!m_launcher || !m_launcher(program, args)) {
        qWarning() << "KxUpdater::install...could not start" << program;
        return false;
    }
    qInfo() << "KxUpdater::install...handed over to" << program << args;
    if (m_quitter)
        m_quitter();
    return true;
}

void KxUpdater::cancel()
{
    m_cancelled = true;
    m_request->cancel();
}
