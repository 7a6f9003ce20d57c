#include "KxCmdFraming.h"

#include "KxBinaryFrame.h"
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxI18nUtil.h"
#include "KxRequestParser.h"

#include <QVector>

namespace KxCmdFraming {

bool buildFrames(const KxCmdItems &items, bool permanent, int bufferSize, QByteArrayList &frames,
                 QString *refusedCode)
{
    frames.clear();
    KxDataStreamMaker maker(DataProtocol_Settings);
    for (const auto &item : items) {
        if (!maker.addCmd(item.first, item.second)) {
            if (refusedCode)
                *refusedCode = item.first;
            return false;
        }
    }
    frames = maker.toByteArrays(permanent, qMax(bufferSize, kMinBufferSize));
    return !frames.isEmpty();
}

bool buildFramesBinarySafe(const KxCmdItems &items, bool permanent, int bufferSize,
                           QByteArrayList &frames, QString *refusedCode,
                           const QSet<QString> &actions)
{
    frames.clear();
    const int maxBody = qMax(bufferSize, kMinBufferSize);
    QByteArrayList out;
    KxDataStreamMaker maker(DataProtocol_Settings);
    const auto flush = [&]() {
        if (!maker.isEmpty())
            out << maker.toByteArrays(permanent, maxBody);
        maker.clear();
    };
    for (const auto &item : items) {
        const bool textOk = !item.second.isEmpty() || actions.contains(item.first);
        if (textOk && maker.addCmd(item.first, item.second))
            continue;
        // Refused: a value only a binary request carries, or a batch at the text limit. Either
        // way the batch so far goes first, so the order of the items holds.
        flush();
        if (textOk && maker.addCmd(item.first, item.second))
            continue;
        const QByteArray frame = binaryFrame(item.first, item.second, permanent);
        if (frame.isEmpty()) {
            if (refusedCode)
                *refusedCode = item.first;
            return false;
        }
        out << frame;
    }
    flush();
    frames = out;
    return !frames.isEmpty();
}

bool travelsAsText(const QString &code, const QByteArray &value)
{
    KxDataStreamMaker maker(DataProtocol_Settings);
    return maker.addCmd(code, value);
}

QByteArray binaryFrame(const QString &code, const QByteArray &value, bool permanent)
{
    if (!KxProtocol::isValidCode(code) || quint32(value.size()) > KxProtocol::MaxPayload - 64)
        return QByteArray();
    KxSettingsReply request;
    request.prefix = permanent ? '@' : '#';
    KxTagInfo item;
    item.code = code;
    item.result = 0;  // a request carries no status
    item.subTags.append({QString(), 0, value});
    request.tags.append(item);
    return KxFrame::encode(KxFrame::BinaryRequest, KxEncodeSettingsReply(request));
}

namespace {
// The items of a binary request; false for any other frame.
bool binaryItems(const QByteArray &frame, KxSettingsRequest *request)
{
    if (frame.size() < KxFrame::EnvelopeSize || frame.at(0) != KxFrame::Head
        || quint8(frame.at(1)) != KxFrame::BinaryRequest)
        return false;
    quint8 kind = 0;
    QByteArray payload;
    return KxFrame::decode(frame, &kind, &payload)
        && KxParseBinarySettingsRequest(payload, request);
}
}  // namespace

QString frameCode(const QByteArray &frame)
{
    KxSettingsRequest request;
    if (binaryItems(frame, &request))
        return request.items.isEmpty() ? QString() : request.items.first().code;
    if (frame.size() < kCodeOffset + 6 || !frame.startsWith("\x7E\x01"))
        return QString();
    return QString::fromLatin1(frame.mid(kCodeOffset, 6));
}

QStringList frameCodes(const QByteArray &frame)
{
    KxSettingsRequest request;
    if (!binaryItems(frame, &request) && !KxParseSettingsRequest(frame, &request))
        return {};
    QStringList out;
    for (const KxRequestItem &i : request.items)
        out << i.code;
    return out;
}

KxCmdItems frameItems(const QByteArray &frame)
{
    KxSettingsRequest request;
    if (!binaryItems(frame, &request) && !KxParseSettingsRequest(frame, &request))
        return {};
    KxCmdItems out;
    for (const KxRequestItem &i : request.items)
        out.append({i.code, i.value});
    return out;
}

QStringList unconfirmed(const KxCmdItems &sent, const KxTagList &answers)
{
    QStringList failed;
    QVector<bool> used(answers.size(), false);
    for (const auto &item : sent) {
        int found = -1;
        for (int i = 0; i < answers.size() && found < 0; ++i) {
            if (!used[i] && answers[i].code == item.first)
                found = i;
        }
        if (found < 0) {
            failed << item.first;
            continue;
        }
        used[found] = true;
        const KxTagInfo &a = answers[found];
        if (a.result != DataResult_Ack || a.value() != item.second)
            failed << item.first;
    }
    return failed;
}

namespace {
bool numberOf(const KxTagList &list, int &out)
{
    for (const KxTagInfo &t : list) {
        if (t.code != QLatin1String("BUFQRY"))
            continue;
        if (t.result != DataResult_Ack)
            return false;
        bool ok = false;
        const int n = t.value().trimmed().toInt(&ok);
        if (ok && n > 0)
            out = n;
        return ok && n > 0;
    }
    return false;
}
}  // namespace

int bufferSize(const KxTagList &capabilities, const KxTagList &values)
{
    int n = 0;
    if (numberOf(capabilities, n) || numberOf(values, n))
        return qMax(n, kMinBufferSize);
    return kDefaultBufferSize;
}

QString rebootWarningKey(const QString &code, const QString &comType)
{
    static const QStringList rs232 = {"232AFL", "232FLW", "232DAT", "232STP", "232PAR", "232BAD"};
    static const QStringList kbw = {"KBWPOR", "KBWCDM"};
    if (code == QLatin1String("INTERF") || code == QLatin1String("AUTOUR"))
        return comType == QLatin1String("0") ? QString() : QStringLiteral("#IDS_InterfChange_Reboot");
    // Offline devices and network links: the serial and USB settings do not carry this link.
    if (comType.isEmpty() || comType == QLatin1String("0"))
        return QString();
    const bool serial = comType == QLatin1String("1");
    const bool usbHid = comType == QLatin1String("2");
    const bool unknown = !serial && !usbHid;
    if (rs232.contains(code) && (serial || unknown))
        return QStringLiteral("#IDS_RS232Change_Reboot");
    if (code == QLatin1String("CDCSPD") && (serial || unknown))
        return QStringLiteral("#IDS_CDCSPD_Reboot");
    if (kbw.contains(code) && (usbHid || unknown))
        return QStringLiteral("#IDS_KbwChange_Reboot");
    if (code == QLatin1String("BOCUSB") && (usbHid || unknown))
        return QStringLiteral("#IDS_UsbOutputChange_Reboot");
    return QString();
}

QString failureMessage(const QStringList &failed, bool restoring)
{
    QStringList lines;
    lines << kxTr(restoring ? QStringLiteral("#IDS_CmdRestore_Fail")
                            : QStringLiteral("#IDS_CmdSave_Fail"));
    for (const QString &code : failed)
        lines << QStringLiteral("%1:[%2]").arg(kxTr(QStringLiteral("#IDS_Cmd")), code);
    return lines.join(QLatin1Char('\n'));
}

QByteArray replyTail(const QByteArray &reply)
{
    return reply.right(10);
}

}  // namespace KxCmdFraming
