#include "QuickTestPlan.h"

#include "KxSettings.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace QuickTestPlan {

Settings load(const QString &group)
{
    KxSettings *s = KxSettings::instance();
    Settings out;
    out.times = qMax(0, s->value(group, QStringLiteral("NumberOfTimes"), 3000).toInt());
    out.level = qBound(0, s->value(group, QStringLiteral("MatchingLevel"), 0).toInt(), 100);
    if (group == readGroup()) {
        out.configLibIndex = qMax(0, s->value(group, QStringLiteral("configLibIndex"), 0).toInt());
        // The reader keeps at most one read every 50 ms.
        out.timeOffset = qBound(0, s->value(group, QStringLiteral("timeOffset"), 0).toInt(), 10000);
        out.autoTrigger = s->value(group, QStringLiteral("autoTrigger"), true).toBool();
    }
    return out;
}

void save(const QString &group, const Settings &settings)
{
    KxSettings *s = KxSettings::instance();
    s->setValue(group, QStringLiteral("NumberOfTimes"), settings.times);
    s->setValue(group, QStringLiteral("MatchingLevel"), settings.level);
    if (group == readGroup()) {
        s->setValue(group, QStringLiteral("configLibIndex"), settings.configLibIndex);
        s->setValue(group, QStringLiteral("timeOffset"), settings.timeOffset);
        s->setValue(group, QStringLiteral("autoTrigger"), settings.autoTrigger);
    }
}

QByteArray triggerMatch(int level)
{
    return QStringLiteral("1A0B%1C").arg(qBound(0, level, 100)).toLatin1();
}

QByteArray debugMatch(int times, int level)
{
    return QStringLiteral("0A%1B%2C").arg(qBound(0, times, 999999)).arg(qBound(0, level, 100)).toLatin1();
}

QByteArray readTest(const Settings &settings)
{
    if (settings.configLibIndex > 0)
        return "2A0B";
    if (settings.autoTrigger || settings.timeOffset <= 0)
        return "0A0B";
    return QStringLiteral("1A%1B").arg(qBound(50, settings.timeOffset, 10000)).toLatin1();
}

State parseState(const QByteArray &json)
{
    State st;
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(json, &error).object();
    if (error.error != QJsonParseError::NoError || !o.contains(QStringLiteral("test")))
        return st;
    st.test = o.value(QStringLiteral("test")).toInt();
    st.reads = o.value(QStringLiteral("reads")).toInt();
    st.good = o.value(QStringLiteral("good")).toInt();
    st.rate = o.value(QStringLiteral("rate")).toString();
    st.valid = true;
    return st;
}

}  // namespace QuickTestPlan
