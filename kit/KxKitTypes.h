#pragma once
// Values the kit's callers pass and get back, apart from the frame enums of the protocol library.
#include <QMap>
#include <QString>

using KxDeviceInfoMap = QMap<QString, QString>;

// How a link is used: a reader link also delivers results, a command link only answers
// requests, a log link carries the reader's diagnostic log.
enum EConnectType { ConnectType_Reader = 0, ConnectType_Command = 1, ConnectType_Log = 2 };

// Which of a reader's ports a link uses.
enum EDevicePortType { DevicePort_Main = 0, DevicePort_Log = 1 };

// Discovery kinds; callers always scan everything (3).
enum EScanType { ScanType_Network = 1, ScanType_Serial = 2, ScanType_All = 3 };

// Answers of sendBinaryMessage (0 = reply filled).
namespace KxSendError {
enum : int {
    Ok = 0,
    NotConnected = -1,  // no open link for the device id and port
    Timeout = -2,       // no complete reply within the time-out
    LinkLost = -4,      // the link closed while the request waited or was in flight
    BadReply = -5,      // the reply arrived but is not a valid frame
    BadRequest = -6,    // empty or malformed request, or a send from the link's own thread
    ShuttingDown = -7,  // the kit is being torn down
    Rejected = -8,      // the reader rejected the request as malformed (reply kind 8E)
};
QString text(int code);
}

// Answers of addDevice.
namespace KxAddResult {
enum : int { Added = 0, Unreachable = -1, Exists = -2 };
}
