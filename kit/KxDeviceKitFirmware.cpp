// KxDeviceKit: firmware packages and their transfer (request kind 0C, answer kind 8C).
#include "KxDeviceKit.h"

#include "KxBinaryFrame.h"
#include "KxFirmwareFrames.h"

#include <KZip>
#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

namespace {
constexpr int kStepTimeoutMs = 60000;
constexpr qint64 kMaxPackage = 256ll * 1024 * 1024;
constexpr const char *kManifest = "manifest.json";

struct UpgradeState
{
    int first = 0;
    int block = 0;
    int step = 0;
    int progress = 0;
};

// Process-wide, as the kit is: upgrade states by device id and unpacked "ifp" files by path.
struct FirmwareRegistry
{
    QMutex mutex;
    QMap<QString, UpgradeState> states;
    QMap<QString, QString> unpacked;  // ifp path -> folder it was unpacked to
};

FirmwareRegistry &registry()
{
    static FirmwareRegistry r;
    return r;
}

QString unpackedFolder(const QString &ifpPath)
{
    QMutexLocker lock(&registry().mutex);
    return registry().unpacked.value(QFileInfo(ifpPath).absoluteFilePath());
}

// The manifest of an unpacked "ifp"; empty when there is none or it is not JSON.
QJsonObject manifestOf(const QString &folder)
{
    QFile f(QDir(folder).filePath(QLatin1String(kManifest)));
    if (folder.isEmpty() || !f.open(QIODevice::ReadOnly))
        return QJsonObject();
    return QJsonDocument::fromJson(f.readAll()).object();
}

// The package file a path stands for: the one inside an unpacked "ifp", or the path itself.
QString packageFile(const QString &path)
{
    if (!path.endsWith(QLatin1String(".ifp"), Qt::CaseInsensitive))
        return path;
    const QString folder = unpackedFolder(path);
    const QString name = manifestOf(folder).value("package").toString();
    if (folder.isEmpty() || name.isEmpty())
        return QString();
    return QDir(folder).filePath(name);
}

bool readPackage(const QString &path, QByteArray *bytes, KxFirmware::Package *pkg, QString *why,
                 KxFirmware::FileSums *sums = nullptr)
{
    const QString file = packageFile(path);
    QFile f(file);
    if (file.isEmpty() || !f.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("cannot open %1").arg(file.isEmpty() ? path : file);
        return false;
    }
    if (f.size() > kMaxPackage) {
        *why = QStringLiteral("package too large");
        return false;
    }
    *bytes = f.readAll();
    const KxFirmware::FileSums fileSums = KxFirmware::fileSums(*bytes);
    if (sums)
        *sums = fileSums;
    if (!KxFirmware::parsePackage(*bytes, pkg, why, &fileSums, false))
        return false;
    if (KxFirmware::kindForExtension(QFileInfo(file).suffix()) != pkg->header.kind) {
        *why = QStringLiteral("a %1 package in a .%2 file").arg(pkg->header.kind, QFileInfo(file).suffix());
        return false;
    }
    return true;
}

void setState(const QString &id, int block, int step, int progress)
{
    QMutexLocker lock(&registry().mutex);
    UpgradeState &s = registry().states[id];
    if (s.step != step || s.block != block)
        ++s.first;
    s.block = block;
    s.step = step;
    s.progress = progress;
}
}  // namespace

bool KxDeviceKit::isIfp(const QString &path) const
{
    return QFileInfo(path).suffix().compare(QLatin1String("ifp"), Qt::CaseInsensitive) == 0;
}

bool KxDeviceKit::extractIfpFile(const QString &path)
{
    const QString abs = QFileInfo(path).absoluteFilePath();
    KZip zip(abs);
    if (!zip.open(QIODevice::ReadOnly)) {
        qWarning().noquote() << "KxDeviceKit::extractIfpFile()... not an archive:" << path;
        return false;
    }
    const KArchiveDirectory *root = zip.directory();
    const KArchiveEntry *m = root ? root->entry(QLatin1String(kManifest)) : nullptr;
    if (!m || !m->isFile()) {
        qWarning().noquote() << "KxDeviceKit::extractIfpFile()... no manifest in" << path;
        return false;
    }
    const QJsonObject manifest = QJsonDocument::fromJson(static_cast<const KArchiveFile *>(m)->data()).object();
    const QString name = manifest.value("package").toString();
    // Only a plain file name: an archive may not write outside its folder.
    const KArchiveEntry *p = name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\'))
        ? nullptr : root->entry(name);
    if (!p || !p->isFile()) {
        qWarning().noquote() << "KxDeviceKit::extractIfpFile()... manifest names no package in" << path;
        return false;
    }
    const QByteArray key = QCryptographicHash::hash(abs.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    const QString folder = QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation))
                               .filePath(QStringLiteral("brevan-ifp-") + QString::fromLatin1(key));
    QDir(folder).removeRecursively();
    if (!QDir().mkpath(folder)
        || !static_cast<const KArchiveFile *>(m)->copyTo(folder)
        || !static_cast<const KArchiveFile *>(p)->copyTo(folder)) {
        qWarning().noquote() << "KxDeviceKit::extractIfpFile()... cannot unpack to" << folder;
        QDir(folder).removeRecursively();
        return false;
    }
    QMutexLocker lock(&registry().mutex);
    registry().unpacked.insert(abs, folder);
    return true;
}

bool KxDeviceKit::getPakInfo(const QString &path, QString &product, QString &version,
                             QString &kind, qint64 *size)
{
    QByteArray bytes;
    KxFirmware::Package pkg;
    QString why;
    if (!readPackage(path, &bytes, &pkg, &why)) {
        qWarning().noquote() << "KxDeviceKit::getPakInfo()..." << path << why;
        return false;
    }
    product = pkg.header.product;
    version = pkg.header.version;
    kind = pkg.header.kind;
    if (size)
        *size = bytes.size();
    return true;
}

int KxDeviceKit::checkUpdateFirmwareInfo(const QString &id, const QString &path)
{
    QByteArray bytes;
    KxFirmware::Package pkg;
    QString why;
    if (isIfp(path)) {
        const QJsonObject manifest = manifestOf(unpackedFolder(path));
        if (manifest.isEmpty())
            return 1;
        if (!readPackage(path, &bytes, &pkg, &why)
            || manifest.value("sha256").toString()
                   != QString::fromLatin1(KxFirmware::sha256(bytes.constData(), bytes.size()).toHex()))
            return 4;
    } else if (!readPackage(path, &bytes, &pkg, &why)) {
        return 4;
    }
    QByteArray reply;
    const QByteArray frame = KxFrame::encode(KxFrame::FirmwareStep, KxFirmware::makeStep(KxFirmware::System));
    if (sendBinaryMessage(id, frame, reply, kStepTimeoutMs, DevicePort_Main) != KxSendError::Ok)
        return 2;
    quint8 kind = 0;
    QByteArray payload;
    KxFirmware::Answer answer;
    KxFirmware::SystemInfo system;
    if (!KxFrame::decode(reply, &kind, &payload) || kind != KxFrame::FirmwareReply
        || !KxFirmware::parseAnswer(payload, &answer) || !answer.ok
        || !KxFirmware::SystemInfo::fromJson(QJsonDocument(answer.extra).toJson(), &system))
        return 3;
    return KxFirmware::compareWithReader(pkg.header, system);
}

bool KxDeviceKit::updateFirmwareFile(const QString &id, const QString &path, bool strict, int *error)
{
    auto finish = [&](int code) {
        if (error)
            *error = code;
        if (code != 0)
            qWarning().noquote() << "KxDeviceKit::updateFirmwareFile()..." << id << path << "error" << code;
        return code == 0;
    };
    {
        QMutexLocker lock(&registry().mutex);
        registry().states.insert(id, UpgradeState());
    }
    // The package is read whole, not mapped: a file cut short by someone else while mapped would
    // kill the program, a copy cannot change under us. Its CRC-32s (the file's and the stored
    // payload's) catch a damaged file here; its SHA-256 is the reader's to check as the bytes
    // arrive (a mismatch is refused with 209 and nothing is installed), so it is not taken twice.
    QFile file(packageFile(path));
    if (file.fileName().isEmpty() || !file.open(QIODevice::ReadOnly) || file.size() > kMaxPackage
        || file.size() < 64) {
        qWarning().noquote() << "KxDeviceKit::updateFirmwareFile()... cannot open" << path;
        return finish(KxFirmware::InvalidFormat);
    }
    const qint64 expected = file.size();
    const QByteArray bytes = file.readAll();
    if (bytes.size() != expected) {
        qWarning().noquote() << "KxDeviceKit::updateFirmwareFile()... changed while read" << path;
        return finish(KxFirmware::InvalidFormat);
    }
    KxFirmware::Package pkg;
    KxFirmware::FileSums sums;
    sums.crc = KxFirmware::crc32(bytes);
    sums.sha256 = bytes.right(32);
    QString why;
    if (!KxFirmware::parsePackage(bytes, &pkg, &why, &sums, false)
        || KxFirmware::kindForExtension(QFileInfo(file.fileName()).suffix()) != pkg.header.kind) {
        qWarning().noquote() << "KxDeviceKit::updateFirmwareFile()..." << path << why;
        return finish(KxFirmware::InvalidFormat);
    }
    if (!isConnected(id, DevicePort_Main))
        return finish(203);
    const int block = pkg.header.block;
    // One step: its answer, or the error that ends the upgrade (0 = go on).
    auto sendFrame = [&](const QByteArray &frame, KxFirmware::Answer *answer) {
        QByteArray reply;
        const int sent = sendBinaryMessage(id, frame, reply, kStepTimeoutMs, DevicePort_Main);
        if (sent != KxSendError::Ok)
            return int(KxFirmware::Communication);
        quint8 kind = 0;
        QByteArray payload;
        if (!KxFrame::decode(reply, &kind, &payload) || kind != KxFrame::FirmwareReply
            || !KxFirmware::parseAnswer(payload, answer))
            return int(KxFirmware::Communication);
        return answer->ok ? 0 : (answer->error != 0 ? answer->error : int(KxFirmware::UpdateFailed));
    };
    auto step = [&](const QByteArray &request, KxFirmware::Answer *answer) {
        return sendFrame(KxFrame::encode(KxFrame::FirmwareStep, request), answer);
    };
    KxFirmware::Answer answer;
    setState(id, block, 0, 0);
    int code = step(KxFirmware::makeBegin(QFileInfo(file.fileName()).fileName(), bytes.size(),
                                          sums.crc, strict), &answer);
    if (code != 0)
        return finish(code);
    setState(id, block, 1, 0);
    // Data goes in windows of several steps of which only the last is answered: the reader
    // sums one step while the next travels, and one answer per window brings the progress and
    // any refusal. Steps of size/16 (64 KiB to 1 MiB), windows of size/8 (up to 4 MiB).
    const qint64 stepSize = qBound<qint64>(65536, bytes.size() / 16, 1024 * 1024);
    const qint64 window = qMax(stepSize, qMin<qint64>(bytes.size() / 8, 4 * 1024 * 1024) / stepSize * stepSize);
    QByteArray request;
    for (qint64 offset = 0; offset < bytes.size(); offset += window) {
        const qint64 end = qMin<qint64>(bytes.size(), offset + window);
        request.clear();
        request.reserve(int(end - offset) + int((window / stepSize + 1) * 32));
        for (qint64 at = offset; at < end; at += stepSize) {
            const int n = int(qMin<qint64>(stepSize, end - at));
            KxFirmware::appendDataFrame(request, at + n >= end, quint32(at), bytes.constData() + at, n);
        }
        code = sendFrame(request, &answer);
        if (code != 0)
            return finish(code);
        setState(id, block, 2, qBound(0, answer.progress, 1000));
    }
    setState(id, block, 3, 1000);
    code = step(KxFirmware::makeStep(KxFirmware::End), &answer);
    return finish(code);
}

bool KxDeviceKit::getUpdateFirmwareState(const QString &id, int &first, int &block, int &step,
                                         int &progress) const
{
    QMutexLocker lock(&registry().mutex);
    if (!registry().states.contains(id))
        return false;
    const UpgradeState &s = registry().states.value(id);
    first = s.first;
    block = s.block;
    step = s.step;
    progress = s.progress;
    return true;
}
