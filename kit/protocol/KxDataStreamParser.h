#pragma once
// Reading replies: settings replies (kind 0x81), vision replies (0x87), rejections (0x8E).
#include "KxDataStreamTypes.h"

#include <QMap>

class KxDataStreamParser
{
public:
    KxDataStreamParser() = default;
    // dataType 1: a complete reply frame; 2: a settings reply payload without the envelope.
    explicit KxDataStreamParser(const QByteArray &reply, int dataType = DataType_Frame);

    bool isValid() const { return m_valid; }
    QString errorString() const { return m_error; }
    EDataProtocol protocol() const { return m_protocol; }
    char prefix() const { return m_reply.prefix; }

    const KxTagList &tags() const { return m_reply.tags; }
    // Code to main value of every acknowledged item; withSubTags adds code + sub-tag keys.
    QMap<QString, QByteArray> getTagMap(bool withSubTags = false) const;
    // The named sub-tags (not the main value) of a code, in reply order.
    QList<KxSubTag> getSubTagDatas(const QString &code) const;
    // Status of one sub-tag ("" for the main value) and its value.
    int getSubTagData(const QString &code, const QString &tag, QByteArray &value) const;
    // True when the reply is valid, holds at least one item and every item (and each of its
    // sub-tags) was acknowledged; else failed lists the codes that were not.
    bool checkAllCmdAck(QList<QString> &failed) const;

    // Parses a settings reply payload without its envelope.
    bool setDataWithoutHeader(const QByteArray &payload);
    // The payload of the parsed reply (without its envelope).
    QByteArray toRawData() const { return m_payload; }

    QByteArray extendData() const { return m_reply.extendData; }
    QByteArray extendInfo() const { return m_reply.extendInfo; }

    // Vision replies: the call's code, status and JSON.
    QString visionCode() const { return m_visionCode; }
    int visionResult() const { return m_visionResult; }
    QByteArray visionJson() const { return m_visionJson; }

private:
    bool parseFrame(const QByteArray &frame);
    void fail(const QString &why);

    bool m_valid = false;
    QString m_error;
    EDataProtocol m_protocol = DataProtocol_Settings;
    QByteArray m_payload;
    KxSettingsReply m_reply;
    QString m_visionCode;
    int m_visionResult = DataResult_Invalid;
    QByteArray m_visionJson;
};

// Status of one code in a reply, its main value into value and the extend data into *extend.
// Protocol 7: status of the vision reply, its JSON into value (code may be empty).
int KxGetDataStreamResult(const QByteArray &reply, const QString &code, QByteArray &value,
                          QByteArray *extend = nullptr,
                          EDataProtocol protocol = DataProtocol_Settings);

// True when the reply is valid and acknowledges code.
bool KxCheckDataStreamCmd(const QByteArray &reply, const QString &code);

// The extend data (image bytes) and its information; true when the reply is valid and
// carries extend data.
bool KxGetDataStreamExtendData(const QByteArray &reply, QByteArray &data, QByteArray &info);

// Takes every acknowledged sub-tag of reply into stored (adding what is missing) and lists the
// ones whose value changed as code + sub-tag. True when anything changed.
bool KxCompareTags(KxTagList &stored, const KxTagList &reply, QStringList &changed);

// Payload encoding of a settings reply and its inverse (used by readers, tests and parsers).
QByteArray KxEncodeSettingsReply(const KxSettingsReply &reply);
bool KxDecodeSettingsReply(const QByteArray &payload, KxSettingsReply *reply,
                           QString *error = nullptr);
