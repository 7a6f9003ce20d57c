#pragma once
// The configuration file as the user meets it: the file dialogs, the waiting message, the
// import check question and the result messages. Each call returns when everything is done.
#include <QString>

class KxDeviceConnector;
class QWidget;

namespace KxConfigFileUi {

// Settings group and key of the folder last used for configuration files.
inline QString folderGroup() { return QStringLiteral("EXPORT"); }
inline QString folderKey() { return QStringLiteral("folder"); }

// True when a file was written.
bool exportConfig(KxDeviceConnector *connector, QWidget *parent = nullptr);

struct ImportOutcome
{
    bool imported = false;   // a file went to the reader
    bool ok = false;         // every command was taken
    bool streamModeChanged = false;  // "IPPOPM" moved between 1 and another value
    bool streamMode = false; // its new value is 1
};
ImportOutcome importConfig(KxDeviceConnector *connector, QWidget *parent = nullptr);

// Chooses a file and shows the comparison with the reader; true when rows were applied.
bool compareConfig(KxDeviceConnector *connector, QWidget *parent = nullptr);

}  // namespace KxConfigFileUi
