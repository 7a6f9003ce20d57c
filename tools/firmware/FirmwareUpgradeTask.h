#pragma once
// One reader's firmware upgrade without widgets: connect in the way the package needs, check the
// model, transfer through the kit, then find the reader again after its restart and compare the
// version it reports with the package's. Runs blocking on a pool thread; every wait is bounded
// and can be cancelled.
#include "KxKitTypes.h"

#include <QString>
#include <atomic>
#include <memory>

struct FirmwareJob
{
    QString deviceId;
    KxDeviceInfoMap info;
    QString path;
    bool ifp = false;
    bool strict = true;
    bool checkModel = true;     // a package for another product ends with 5
    bool alreadyConnected = false;  // the caller holds the link: neither connect nor disconnect
    int verifyTimeoutMs = 90000;    // how long the restarted reader may take to answer again
};

struct FirmwareOutcome
{
    bool ok = false;
    int error = 0;
    QString version;  // what the reader reports after the restart
};

namespace FirmwareUpgrade {
// Codes of our own beside the kit's.
constexpr int kConnectFailed = 609;
constexpr int kWrongVersion = 610;   // the reader came back with another version
constexpr int kNotBack = 611;        // the reader never answered after its restart
constexpr int kCancelled = 612;

// The package's product and version (getPakInfo); false for a file that is no package.
bool packageInfo(const QString &path, QString *product, QString *version);
// Raw-stream readers (no "Device Type") take "efp" packages over the command-only link.
bool usesCommandLink(const KxDeviceInfoMap &info, const QString &path);
// Whether a package product fits a reader's product name ("*" fits all).
bool productFits(const QString &packageProduct, const QString &readerProduct);

FirmwareOutcome run(const FirmwareJob &job, const std::shared_ptr<std::atomic_bool> &cancel);

// Text keys for the state values and error codes.
QString blockKey(int block);
QString stepKey(int step);  // empty for an unknown step
QString errorKey(int code);
}  // namespace FirmwareUpgrade
