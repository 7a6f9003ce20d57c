#pragma once
// The binary-safe envelope of replies and binary requests: 7E, kind, u32 length, payload,
// CRC-16/X.25 over kind..payload, 03.
#include <QByteArray>
#include <QString>

namespace KxFrame {

constexpr char Head = 0x7E;
constexpr char Tail = 0x03;
constexpr int EnvelopeSize = 9;  // head, kind, length, CRC, tail

enum Kind : quint8 {
    TextRequest = 0x01,  // only as the text request 7E 01 "0000" ... ";" 03, never enveloped
    BinaryRequest = 0x02,
    VisionCall = 0x07,
    KeepAlive = 0x09,
    RoleRequest = 0x0A,
    FirmwareStep = 0x0C,
    ImageStep = 0x0D,
    SettingsReply = 0x81,
    VisionReply = 0x87,
    KeepAliveReply = 0x89,
    RoleReply = 0x8A,
    FirmwareReply = 0x8C,
    ImageReply = 0x8D,
    Rejected = 0x8E,
};

bool isKnownBinaryKind(quint8 kind);

// Wraps a payload; empty when the payload is larger than the protocol allows.
QByteArray encode(quint8 kind, const QByteArray &payload);

// Checks one complete binary frame (exact size, head, tail, CRC, known kind).
bool decode(const QByteArray &frame, quint8 *kind, QByteArray *payload, QString *error = nullptr);

quint16 crc(const char *data, int size);

}  // namespace KxFrame
