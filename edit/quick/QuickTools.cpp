#include "QuickTools.h"

#include "KxDeviceCommand.h"
#include "KxDeviceConnector.h"

namespace QuickTools {

Reader of(const KxDeviceConnector *connector)
{
    Reader r;
    if (!connector)
        return r;
    const KxDeviceInfoMap info = connector->deviceInfo();
    r.offline = info.value(QStringLiteral("offLine")) == QLatin1String("1");
    r.comType = info.value(QStringLiteral("COM Type"));
    const KxDeviceCommand *cmd = connector->command();
    if (!cmd)
        return r;
    for (const QString &code : {QStringLiteral("SCNMTR"), QStringLiteral("SCNMTG"), QStringLiteral("FOCAUT"),
                                QStringLiteral("FOCPOS"), QStringLiteral("ATLSTP"), QStringLiteral("TESSRN"),
                                QStringLiteral("TESLIB"), QStringLiteral("SCNITG"), QStringLiteral("IMGGET"),
                                QStringLiteral("MPCADD"), QStringLiteral("CCFBML"), QStringLiteral("ORTSET")}) {
        if (cmd->hasCmd(code))
            r.codes.insert(code);
    }
    r.monitorValues = !cmd->rawValue(QStringLiteral("SCNMTR"), KxDeviceCommand::Capabilities).isEmpty();
    r.learningValues = !cmd->rawValue(QStringLiteral("ATLSTP"), KxDeviceCommand::Capabilities).isEmpty();
    return r;
}

QStringList forReader(const Reader &r)
{
    QStringList out;
    out << (r.monitorValues ? monitor() : play());
    if (r.offline)
        return out;
    if (r.codes.contains(QStringLiteral("FOCAUT")))
        out << autoFocus();
    if (r.learningValues)
        out << selfLearning();
    const bool tests = r.comType != QLatin1String("0");
    if (tests && r.codes.contains(QStringLiteral("TESSRN")))
        out << testEx();
    else if (tests && r.codes.contains(QStringLiteral("TESLIB")))
        out << test();
    if (tests && r.codes.contains(QStringLiteral("SCNITG")) && !r.codes.contains(QStringLiteral("IMGGET")))
        out << trigger();
    return out;
}

QStringList available(const Reader &reader)
{
    static const QStringList runs = {play(), monitor(), autoFocus(), selfLearning(), testEx(), test(), trigger()};
    QStringList out;
    for (const QString &id : forReader(reader)) {
        if (runs.contains(id))
            out << id;
    }
    return out;
}

QString startText(const QString &id)
{
    if (id == play())
        return QStringLiteral("#IDS_StartPaly");
    if (id == monitor())
        return QStringLiteral("#IDS_StartMonitor");
    if (id == autoFocus())
        return QStringLiteral("#IDS_AutoFocus");
    if (id == selfLearning())
        return QStringLiteral("#IDS_StartLearning");
    if (id == trigger())
        return QStringLiteral("#IDS_StartTrigger");
    if (id == testEx())
        return QStringLiteral("#IDS_StartDebug");
    if (id == test())
        return QStringLiteral("#IDS_StartTest");
    return QString();
}

QString stopText(const QString &id)
{
    if (id == play())
        return QStringLiteral("#IDS_StopPaly");
    if (id == monitor())
        return QStringLiteral("#IDS_StopMonitor");
    if (id == autoFocus())
        return QStringLiteral("#IDS_AutoFocus_ing");
    if (id == selfLearning())
        return QStringLiteral("#IDS_StopLearning");
    if (id == trigger())
        return QStringLiteral("#IDS_StopTrigger");
    if (id == testEx())
        return QStringLiteral("#IDS_StopDebug");
    if (id == test())
        return QStringLiteral("#IDS_StopTest");
    return QString();
}

}  // namespace QuickTools
