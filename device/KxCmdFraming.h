#pragma once
// Pure rules of the command engine: batch framing, the reader's buffer size, the link-change
// warnings and the failure message. No I/O, so tests can feed them plain data.
#include "KxDataStreamTypes.h"

#include <QByteArrayList>
#include <QList>
#include <QPair>
#include <QSet>
#include <QStringList>

using KxCmdItems = QList<QPair<QString, QByteArray>>;  // code, value text

namespace KxCmdFraming {

constexpr int kDefaultBufferSize = 512;  // the reader gives no size
constexpr int kMinBufferSize = 128;
constexpr int kCodeOffset = 7;           // "~" 0x01 "0000" and the prefix come first

// Packs the items into frames whose bodies stay within bufferSize bytes; prefix "@" when
// permanent, else "#". False, with nothing framed, when an item cannot travel (bad code,
// value with ";" "," or control bytes): the whole list is refused.
bool buildFrames(const KxCmdItems &items, bool permanent, int bufferSize, QByteArrayList &frames,
                 QString *refusedCode = nullptr);

// Like buildFrames, but an item whose value cannot be part of a text frame (pairs "50,50",
// lines "0,600|1919,600", ";", control bytes) goes alone into a binary request, in its place:
// the text items before it close their frames and the ones after it start new ones, so the
// reader applies the items in the order given. An empty value goes the same way, since in a
// text item it would only ask for the value; codes in actions (run by an empty value) stay
// text. False, with nothing framed, only for a bad code or an item too large for any frame.
bool buildFramesBinarySafe(const KxCmdItems &items, bool permanent, int bufferSize,
                           QByteArrayList &frames, QString *refusedCode = nullptr,
                           const QSet<QString> &actions = {});

// True when the item can travel inside a text frame.
bool travelsAsText(const QString &code, const QByteArray &value);

// One item alone in a binary request (kind 02), prefix "@" when permanent, else "#"; the value
// travels byte for byte. Empty for a bad code or a value beyond the frame limit.
QByteArray binaryFrame(const QString &code, const QByteArray &value, bool permanent);

// The six-letter code of a frame's first item, for text and binary requests (empty for a frame
// too short to hold one).
QString frameCode(const QByteArray &frame);

// The codes of every item of a text or binary request, in order; empty for anything else.
QStringList frameCodes(const QByteArray &frame);
// The items (code and value) of a text or binary request, in order.
KxCmdItems frameItems(const QByteArray &frame);

// The codes of the sent items that the answers do not confirm: an item fails unless an answer
// of its code (taken in order, each answer used once) has status 6 and holds the value sent as
// its main value, which is the value now in force.
QStringList unconfirmed(const KxCmdItems &sent, const KxTagList &answers);

// The buffer size: "BUFQRY" of the capability list when it holds a number, else of the value
// list; at least kMinBufferSize; kDefaultBufferSize when neither list gives one.
int bufferSize(const KxTagList &capabilities, const KxTagList &values);

// The warning key for a change of code over a link whose "COM Type" is comType (empty for a
// network link); empty when the change does not affect the link.
QString rebootWarningKey(const QString &code, const QString &comType);

// "#IDS_CmdSave_Fail" (or "#IDS_CmdRestore_Fail") translated, then one line per failed code.
QString failureMessage(const QStringList &failed, bool restoring);

// The last 10 bytes of a reply, for the failure logs.
QByteArray replyTail(const QByteArray &reply);

}  // namespace KxCmdFraming
