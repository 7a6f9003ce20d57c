#include "FirmwareUpgradeTask.h"

#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDeviceKit.h"
#include "KxFirmwareFrames.h"

#include <QDebug>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

namespace FirmwareUpgrade {

namespace {
bool cancelled(const std::shared_ptr<std::atomic_bool> &c)
{
    return c && c->load();
}

bool connectReader(const FirmwareJob &job)
{
    KxDeviceKit *kit = KxDeviceKit::Instance();
    const EConnectType type = usesCommandLink(job.info, job.path) ? ConnectType_Command : ConnectType_Reader;
    if (kit->connectToDevice(job.deviceId, type, true, DevicePort_Main))
        return true;
    // A reader the discovery does not list (yet) is reached at the address it reported.
    const QString ip = job.info.value(QStringLiteral("Ip Address"));
    if (ip.isEmpty())
        return false;
    const QString port = job.info.value(QStringLiteral("Cmd Port"), QStringLiteral("36520"));
    return kit->connectToDevice_Cmd(job.deviceId, ip + QLatin1Char(':') + port);
}

// "name:value" lines of the product information.
QString productField(const QString &id, const QString &field)
{
    QByteArray reply, value;
    const QByteArray frame = KxMakeDataStreamCmd("@PRNQRY*", DataProtocol_Settings, true);
    if (KxDeviceKit::Instance()->sendBinaryMessage(id, frame, reply, 10000) != 0
        || KxGetDataStreamResult(reply, QStringLiteral("PRNQRY"), value) != DataResult_Ack)
        return QString();
    for (const QByteArray &line : value.split('\n')) {
        const int colon = line.indexOf(':');
        if (colon > 0 && QString::fromUtf8(line.left(colon)).trimmed() == field)
            return QString::fromUtf8(line.mid(colon + 1)).trimmed();
    }
    return QString();
}
}  // namespace

bool packageInfo(const QString &path, QString *product, QString *version)
{
    QString p, v, kind;
    if (!KxDeviceKit::Instance()->getPakInfo(path, p, v, kind))
        return false;
    if (product)
        *product = p;
    if (version)
        *version = v;
    return true;
}

bool usesCommandLink(const KxDeviceInfoMap &info, const QString &path)
{
    return !info.contains(QStringLiteral("Device Type"))
        && QFileInfo(path).suffix().compare(QLatin1String("efp"), Qt::CaseInsensitive) == 0;
}

bool productFits(const QString &packageProduct, const QString &readerProduct)
{
    if (packageProduct == QLatin1String("*"))
        return true;
    return KxFirmware::normaliseModel(packageProduct)
               .compare(KxFirmware::normaliseModel(readerProduct), Qt::CaseInsensitive) == 0;
}

FirmwareOutcome run(const FirmwareJob &job, const std::shared_ptr<std::atomic_bool> &cancel)
{
    KxDeviceKit *kit = KxDeviceKit::Instance();
    FirmwareOutcome out;
    QString product, version;
    if (!packageInfo(job.path, &product, &version)) {
        out.error = KxFirmware::InvalidFormat;
        return out;
    }
    if (!job.alreadyConnected && !connectReader(job)) {
        out.error = kConnectFailed;
        return out;
    }
    auto finish = [&](bool ok, int error) {
        if (!job.alreadyConnected || ok)  // a restarted reader's old link is gone anyway
            kit->disconnectFromDeviceEx(job.deviceId, DevicePort_Main);
        out.ok = ok;
        out.error = error;
        qInfo().noquote() << "FirmwareUpgrade::run()..." << job.deviceId << job.path << ok << error
                          << out.version;
        return out;
    };
    if (job.checkModel) {
        QString reader = productField(job.deviceId, QStringLiteral("Product Name"));
        if (reader.isEmpty())
            reader = job.info.value(QStringLiteral("Product Name"));
        if (!productFits(product, reader))
            return finish(false, KxFirmware::ProductMismatch);
    }
    if (job.ifp) {
        const int code = kit->checkUpdateFirmwareInfo(job.deviceId, job.path);
        if (code != 0)
            return finish(false, code);
    }
    if (cancelled(cancel))
        return finish(false, kCancelled);
    int error = 0;
    if (!kit->updateFirmwareFile(job.deviceId, job.path, job.strict, &error))
        return finish(false, error != 0 ? error : int(KxFirmware::UpdateFailed));
    kit->disconnectFromDeviceEx(job.deviceId, DevicePort_Main);

    // The reader restarts: find it again and ask what it runs now. Done means verified.
    QDeadlineTimer deadline(job.verifyTimeoutMs);
    QThread::msleep(300);
    while (!deadline.hasExpired()) {
        if (cancelled(cancel))
            return finish(false, kCancelled);
        if (connectReader(job)) {
            out.version = productField(job.deviceId, QStringLiteral("Firmware Version"));
            if (!out.version.isEmpty())
                return finish(out.version == version, out.version == version ? 0 : kWrongVersion);
            kit->disconnectFromDeviceEx(job.deviceId, DevicePort_Main);
        }
        QThread::msleep(250);
    }
    return finish(false, kNotBack);
}

QString blockKey(int block)
{
    switch (block) {
    case 1: return QStringLiteral("#IDS_UpgradeBlock_Boot");
    case 2: return QStringLiteral("#IDS_UpgradeBlock_Kernel");
    case 3: return QStringLiteral("#IDS_UpgradeBlock_Config");
    case 4: return QStringLiteral("#IDS_UpgradeBlock_Appl");
    default: return QStringLiteral("#IDS_UpgradeBlock_Other");
    }
}

QString stepKey(int step)
{
    switch (step) {
    case 0: return QStringLiteral("#IDS_UpgradeProgress_SendCmd");
    case 1: return QStringLiteral("#IDS_UpgradeProgress_SetParam");
    case 2: return QStringLiteral("#IDS_UpgradeProgress_SendData");
    case 3: return QStringLiteral("#IDS_UpgradeProgress_WaitFinish");
    default: return QString();
    }
}

QString errorKey(int code)
{
    static const QHash<int, QString> keys = {
        {1, "#IDS_UpgradeError_JSON"}, {2, "#IDS_UpgradeError_QRYSYS"},
        {3, "#IDS_UpgradeError_BASQSY"}, {4, "#IDS_UpgradeError_IFPCHK"},
        {5, "#IDS_UpgradeError_PRODUCT_MISMATCH"}, {6, "#IDS_UpgradeError_HARDWARE_MISMATCH"},
        {7, "#IDS_UpgradeError_CPU_MISMATCH"}, {8, "#IDS_UpgradeError_STORAGE_MISMATCH"},
        {9, "#IDS_UpgradeError_RAWOS_MISMATCH"}, {10, "#IDS_UpgradeError_KERNEL_MISMATCH"},
        {11, "#IDS_UpgradeError_MCU_MISMATCH"}, {201, "#ID_DEVICE_ERROR_UNKOWN"},
        {202, "#ID_DEVICE_ERROR_NOTEXIST"}, {203, "#ID_DEVICE_ERROR_NOT_OPEN"},
        {204, "#ID_DEVICE_ERROR_ALREADY_OPEN"}, {205, "#ID_DEVICE_ERROR_ACCESS_DENIED"},
        {206, "#ID_DEVICE_ERROR_NOT_INITIAL"}, {207, "#ID_DEVICE_ERROR_NOT_CHANGE_MI"},
        {208, "#ID_DEVICE_ERROR_INVALID_PARAMS"}, {209, "#ID_DEVICE_ERROR_INVALID_FILE_FORMAT"},
        {210, "#ID_DEVICE_ERROR_FILENAME_EXT"}, {211, "#ID_DEVICE_ERROR_COMMUNICATION"},
        {212, "#ID_DEVICE_ERROR_MALLOC"}, {213, "#ID_DEVICE_ERROR_UPDATE_FAILED"},
        {214, "#ID_DEVICE_ERROR_NO_UPDATE_OBJECT"}, {217, "#ID_DEVICE_ERROR_RESUFE"},
        {218, "#ID_DEVICE_ERROR_RESUFE"}, {601, "#IDS_UpgradeError_SEND"},
        {602, "#IDS_UpgradeError_READ"}, {603, "#IDS_UpgradeError_DATA"},
        {604, "#IDS_UpgradeError_FILE"}, {605, "#IDS_UpgradeError_LUA_INIT"},
        {606, "#IDS_UpgradeError_LUA"}, {607, "#IDS_UpgradeError_LUA_EXE"},
        {608, "#IDS_UpgradeError_LUA_RESULT"}, {609, "#IDS_UpgradeError_CONNECT"},
        {610, "#ID_UPGRADE_ERROR_FIRMWARE"}, {611, "#IDS_UpgradeError_NotBack"},
        {612, "#IDS_UpgradeError_Cancelled"}};
    return keys.value(code, QStringLiteral("#IDS_UpgradeError_Unkonw"));
}

}  // namespace FirmwareUpgrade
