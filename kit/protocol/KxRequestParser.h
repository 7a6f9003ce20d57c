#pragma once
// The reader's side: parsing requests and building replies.
#include "KxDataStreamTypes.h"

struct KxRequestItem
{
    QString code;
    char query = 0;  // 0 set or action, '*' current value, '^' range, '&' default
    QByteArray value;
    // A value was given. Text items give none when empty (a query of a setting); binary items
    // carry an explicit length, so one of length 0 sets the empty text.
    bool hasValue = false;
};

struct KxSettingsRequest
{
    char prefix = '@';
    char allQuery = 0;  // '*', '^' or '&' for "@*", "@^", "@&"; then items is empty
    QList<KxRequestItem> items;
};

// Parses a text request (7E 01 "0000" ... ";" 03), resolving "," continuations.
bool KxParseSettingsRequest(const QByteArray &frame, KxSettingsRequest *request,
                            QString *error = nullptr);
// Parses the payload of a binary settings request (kind 0x02).
bool KxParseBinarySettingsRequest(const QByteArray &payload, KxSettingsRequest *request,
                                  QString *error = nullptr);
// Parses the payload of a vision call (kind 0x07): code and JSON.
bool KxParseVisionCall(const QByteArray &payload, QString *code, QByteArray *json,
                       QString *error = nullptr);

// Complete reply frames.
QByteArray KxMakeSettingsReply(const KxSettingsReply &reply);
QByteArray KxMakeVisionReply(const QString &code, int result, const QByteArray &json);
QByteArray KxMakeRejectedReply(const QString &reason);
