#pragma once
// Records shared by the connector, the command object and its worker thread.
#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <functional>

class KxDeviceCommand;

// State of a connector: created, logged in, logged out.
enum DeviceState { DeviceState_LoggedOut = 0, DeviceState_LoggedIn = 1, DeviceState_Created = 2 };

// Result of a synchronisation step that failed.
constexpr int kSyncFailed = -999;

// One changed setting: what was sent, what the pages show, and what the reader had before.
struct ChangedCmdInfo
{
    QString code;           // six-letter command code
    QString name;           // display name
    QVariant value;         // value sent to the reader
    QVariant displayValue;  // value as the pages show it
    QVariant previous;      // the reader's value before the first change (restored on discard)
    int number = 0;         // order of the change
};

using KxDeviceCommandPtr = QPointer<KxDeviceCommand>;

// One command carried by a task; marked commands leave the changed-command list once saved.
struct KxTaskCmd
{
    QString code;
    QByteArray value;
    bool mark = false;
    bool saved = false;
};

// The user data a task carries back to the main thread with its result.
struct _struResultUserDatas
{
    QList<KxTaskCmd> cmds;
    QVariant payload;
};

// A task function runs on the worker thread with the task's user data; it returns its result.
using PFUNResultProcessing = std::function<bool(_struResultUserDatas &)>;

// A job: work on the worker thread, completion on the main thread.
using KxJobWork = std::function<QMap<QString, QByteArray>(KxDeviceCommandPtr)>;
using KxJobDone = std::function<void(KxDeviceCommandPtr, QMap<QString, QByteArray>)>;
struct _struProcessCallback
{
    KxJobWork work;
    KxJobDone done;
    quint64 seq = 0;  // place in the worker's order, shared with tasks
};

// A unit of work of the worker's task queue.
struct KxCmdTask
{
    enum Kind { Checked = 0, Raw = 2 };
    QString id;                      // unique tasks are dropped when one with this id waits
    int kind = Checked;              // Raw: frames sent as they are, stop at the first failure
    QByteArrayList frames;
    _struResultUserDatas userData;
    PFUNResultProcessing function;   // set: called instead of sending frames
    bool reportFunction = false;     // report the function's result through the result signal
    quint64 seq = 0;                 // place in the worker's order, shared with jobs
};

Q_DECLARE_METATYPE(_struResultUserDatas)
Q_DECLARE_METATYPE(_struProcessCallback)
Q_DECLARE_METATYPE(ChangedCmdInfo)

// Registers the records above for queued signals; safe to call more than once.
void kxRegisterDeviceTypes();
