#pragma once
// Building request frames: single commands and batches of settings, vision calls.
#include "KxDataStreamTypes.h"

#include <QByteArrayList>
#include <QPair>
#include <QStringList>

// Wraps one command text into a request frame.
// Protocol 1: payload is "@"/"#" (added as "@" when missing) and command text such as
// "ILLSCN*" or "NETDEN0,LPA127.0.0.5"; with appendTail the frame ends with ";" 0x03 (a ";"
// already at the end is not doubled). Text that cannot travel in a text frame (control bytes,
// 0x7E) is sent as a binary request of one item: the prefix, the six-letter code and the rest.
// Protocol 7: payload is the six-letter code followed by compact JSON.
// Empty result when the payload cannot be framed (no code, bad code, too long).
QByteArray KxMakeDataStreamCmd(const QByteArray &payload, EDataProtocol protocol,
                               bool appendTail = true);

// A binary settings request (kind 02) holding the items in order. Every value travels byte for
// byte with its own length, so values a text request cannot carry (",", ";", control bytes) are
// fine, and an empty value sets the empty text where a text item would only query. "*", "^"
// and "&" still query. Empty for no items, a bad code or a request beyond the frame limit.
QByteArray KxMakeBinarySettingsRequest(const QList<QPair<QString, QByteArray>> &items,
                                       bool permanent);

// Builds a batch of settings items ("," continuation for items sharing their first three
// characters) or one vision call.
class KxDataStreamMaker
{
public:
    explicit KxDataStreamMaker(EDataProtocol protocol = DataProtocol_Settings);

    // Adds an item: code and value text ("*", "^", "&" query). With hexEncode the value is
    // written as upper-case hex. False (nothing added) for a bad code, a value holding ";", ",",
    // 0x7E, 0x03 or control bytes, a second vision call, or a batch beyond the frame limit.
    bool addCmd(const QString &code, const QByteArray &value, bool hexEncode = false);

    // One frame with every item; permanent selects "@" (stored) over "#" (running only).
    // Empty when no item was added.
    QByteArray toByteArray(bool permanent) const;

    // Frames whose bodies stay within maxBody bytes (an item longer than that gets a frame of
    // its own), so the first code of each frame stands at byte offset 7.
    QByteArrayList toByteArrays(bool permanent, int maxBody) const;

    int count() const { return m_items.size(); }
    bool isEmpty() const { return m_items.isEmpty(); }
    QStringList codes() const;
    void clear()
    {
        m_items.clear();
        m_textSize = 0;
    }

private:
    struct Item
    {
        QString code;
        QByteArray value;
    };
    static QByteArray textFrame(char prefix, const QByteArray &body);

    EDataProtocol m_protocol;
    QList<Item> m_items;
    qint64 m_textSize = 0;
};
