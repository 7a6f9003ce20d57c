#pragma once
// Values and records shared by every frame function of the reader protocol
// (docs/reader-protocol.md).
#include <QByteArray>
#include <QList>
#include <QString>

// Which command family a frame carries.
enum EDataProtocol { DataProtocol_Settings = 1, DataProtocol_Vision = 7 };

// What a parser is given: a complete reply frame, or a reply payload without its envelope.
enum EDataType { DataType_Frame = 1, DataType_Payload = 2 };

// Status of one reply item or sub-tag, and of the look-up functions.
enum EDataResult {
    DataResult_Invalid = -2,   // the reply is not a valid frame
    DataResult_NotFound = -1,  // the code (or sub-tag) is not in the reply
    DataResult_Unknown = 5,    // the reader does not know the command
    DataResult_Ack = 6,        // acknowledged, with data
    DataResult_Refused = 21,   // refused by the reader, or not sent at all
};

// One value of a reply item: "" is the main value, letters name letter-tagged parts ("W", "H"),
// digits the numbered values of a command that holds several.
struct KxSubTag
{
    QString tag;
    int result = DataResult_Ack;
    QByteArray value;
    bool operator==(const KxSubTag &o) const
    {
        return tag == o.tag && result == o.result && value == o.value;
    }
};

// One reply item: a command code with its status and sub-tags.
struct KxTagInfo
{
    QString code;
    int result = DataResult_Ack;
    QList<KxSubTag> subTags;

    // The main value ("" sub-tag), empty when absent.
    QByteArray value() const;
    const KxSubTag *subTag(const QString &tag) const;
    bool operator==(const KxTagInfo &o) const
    {
        return code == o.code && result == o.result && subTags == o.subTags;
    }
};

using KxTagList = QList<KxTagInfo>;

// A decoded settings reply (binary frame kind 0x81).
struct KxSettingsReply
{
    char prefix = '@';
    KxTagList tags;
    QByteArray extendData;
    QByteArray extendInfo;
};

namespace KxProtocol {
constexpr quint16 DefaultCommandPort = 36520;
constexpr quint16 DefaultLogPort = 36521;
constexpr quint16 DefaultDiscoveryPort = 36522;
constexpr int MaxTextRequest = 1 << 20;           // bytes of one text request
constexpr quint32 MaxPayload = 64u * 1024 * 1024;  // bytes of one binary or result frame payload
constexpr int MaxItems = 65535;                    // items of one reply
constexpr int MaxSubTagName = 15;

// True for a well-formed command code: six characters of A-Z and 0-9.
bool isValidCode(const QString &code);
bool isValidCode(const QByteArray &code);
}  // namespace KxProtocol
