#pragma once
// Requests to a tag's memory banks and to the inventory, and what their answers mean, without
// sockets or widgets: "URFTRD"/"URFTWR" request texts, reply parsing with the refusal reason
// the reader gives in the sub-tag "E", and how a write to the EPC bank renames the tag.
#include <QByteArray>
#include <QString>

namespace KxRfidMemory {

enum Bank { Bank_Reserved = 0, Bank_Epc = 1, Bank_Tid = 2, Bank_User = 3 };

// Words a read of a whole bank asks for: reserved 4, EPC its CRC and PC words plus the EPC,
// TID 6, user 32.
int bankWords(int bank, int epcBytes);

// "#URFTRD<EPC hex>|bank|pointer|count".
QByteArray readRequest(const QByteArray &epc, int bank, int wordPointer, int wordCount);
// "#URFTWR<EPC hex>|bank|pointer|<hex words>".
QByteArray writeRequest(const QByteArray &epc, int bank, int wordPointer, const QByteArray &hexWords);

// Hex words typed by a user ("1234 abcd", "1234ABCD"): upper case without spaces into hex.
// False when it is empty, holds anything but hex digits and blanks, or is not whole words.
bool parseWords(const QString &text, QByteArray *hex);
// The hex split into four-digit words for reading ("1234 ABCD").
QString formatWords(const QByteArray &hex);

// The EPC a tag has after hexWords were written at wordPointer of bank: only words 2.. of the
// EPC bank hold the EPC, and its length stays.
QByteArray epcAfterWrite(const QByteArray &epc, int bank, int wordPointer, const QByteArray &hexWords);

struct Reply
{
    bool answered = false; // a valid reply came back
    bool ok = false;       // the code was acknowledged
    QByteArray value;      // its main value
    QString reason;        // refusal reason ("NOTAG", "LOCKED", ...), empty when none was given
};
Reply parseReply(const QByteArray &reply, const QString &code);

// The text key that explains a refusal; unknown reasons get a generic one.
QString reasonKey(const QString &reason);

} // namespace KxRfidMemory
