#include "KxCmdFraming.h"

#include "KxDataStreamMaker.h"
#include "KxI18nUtil.h"

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

QString frameCode(const QByteArray &frame)
{
    if (frame.size() < kCodeOffset + 6)
        return QString();
    return QString::fromLatin1(frame.mid(kCodeOffset, 6));
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
