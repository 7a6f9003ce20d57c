#pragma once
// The configuration file against a connected reader: export, import check, import and the
// comparison of a file with the reader. Import and export talk to the reader synchronously,
// so call them on the command object's worker (importFileAsync does so).
#include "KxConfigFile.h"

#include <QMap>
#include <QObject>
#include <QVector>

#include <functional>

class KxDeviceConnector;
class KxDeviceConfigs;

// One command whose value differs between a file and the reader.
struct KxConfigDiff
{
    QString code;
    QString name;         // display name key ("#IDS_Item_..."), the code when the pages have none
    QString readerValue;  // empty when the reader lacks the command
    QString fileValue;
    bool readerHasCmd = true;
};

namespace KxConfigFileIO {

// The reader's model name as its connection reports it ("Product Name").
QString readerModel(const KxDeviceConnector *connector);

// Writes the reader's whole configuration. configs defaults to the installation's.
bool exportToFile(KxDeviceConnector *connector, const QString &path, QString *error = nullptr,
                  const KxDeviceConfigs *configs = nullptr);
// The entries an export would write.
KxConfigEntries exportEntries(KxDeviceConnector *connector, const KxDeviceConfigs *configs = nullptr);

int checkImportFile(KxDeviceConnector *connector, const QString &path);

// Import result keys: "result" ("1" on success), "FailCmdsCnt", "FailCmds", "UnknownCmdsCnt",
// "UnknownCmds" (codes joined with KxConfigFile::joinCodes), "IPPOPM" (read before) and
// "IPPOPMAfter" (read after), both only for readers with configuration sets; "ChangedCmds", the
// taken codes whose value the file changed (joined by ","). Unknown codes are not failures:
// "result" is "1" when every code the reader knows was taken.
using ImportResult = QMap<QString, QString>;
// The codes of changed that need a restart or change the link: those warning() names a key for.
QStringList restartCodes(const QStringList &changed,
                         const std::function<QString(const QString &)> &warning);
// Sends every command of the file as a stored change; synchronous (worker thread).
ImportResult importFile(KxDeviceConnector *connector, const QString &path);
// The same on the command object's worker; done runs on the main thread while context lives.
// When the file changed a setting of the reader's link (a restart warning applies), the result
// also has "Reboot" "1" and "RebootCmds", and the command object emits
// cmdValueChanged_ImportReboot, whether or not context still lives.
void importFileAsync(KxDeviceConnector *connector, const QString &path, QObject *context,
                     const std::function<void(const ImportResult &)> &done);

// The commands of the file whose value differs from the reader's, in file order.
QVector<KxConfigDiff> compare(KxDeviceConnector *connector, const KxConfigEntries &file,
                              const KxDeviceConfigs *configs = nullptr);

}  // namespace KxConfigFileIO
