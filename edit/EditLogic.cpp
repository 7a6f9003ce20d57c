#include "EditLogic.h"

#include "KxDataStreamValue.h"
#include "KxPageInfo.h"

#include <QDomDocument>
#include <QFile>
#include <QSet>

namespace EditLogic {

QString frameTypeName(int mode)
{
    switch (mode) {
    case 1:
    case 2:
        return QStringLiteral("BarcodeEditPanel");
    case 3:
        return QStringLiteral("VisionEditFrame");
    case 4:
        return QStringLiteral("BRFIDEditFrame");
    case 5:
        return QStringLiteral("BStatisticsEditFrame");
    default:
        return QString();
    }
}

QList<int> deviceLogLevels(const QByteArray &range)
{
    constexpr int kMaxLevels = 256;
    QList<int> out;
    QSet<int> seen;
    for (const QByteArray &raw : range.split(',')) {
        const QByteArray entry = raw.trimmed();
        if (entry.isEmpty())
            continue;
        QList<int> values;
        if (!KxParseRangesToInt(entry, values, kMaxLevels))
            continue;
        for (int v : values) {
            if (out.size() >= kMaxLevels)
                return out;
            if (!seen.contains(v)) {
                seen.insert(v);
                out << v;
            }
        }
    }
    return out;
}

QStringList settingCodeCommands(const KxTagList &values)
{
    QStringList out;
    for (const KxTagInfo &t : values) {
        if (t.result != DataResult_Ack)
            continue;
        if (t.code == QLatin1String("LUAADD") || t.code == QLatin1String("LUAQRY")) {
            for (const KxSubTag &s : t.subTags) {
                if (s.result == DataResult_Ack && !s.value.isEmpty())
                    out << QStringLiteral("LUAADD") + QString::fromUtf8(s.value);
            }
            continue;
        }
        out << t.code + QString::fromUtf8(t.value());
    }
    return out;
}

bool configLibButtonVisible(int setCount, const QByteArray &ippopm)
{
    return setCount >= 2 && ippopm.trimmed() != "1";
}

bool clearsDataFormats(const QString &code, const QByteArray &newValue,
                       const QByteArray &currentFormats)
{
    if (currentFormats.trimmed().isEmpty())
        return false;
    if (code == QLatin1String("DFMCAL"))
        return true;
    return code == QLatin1String("DFMADD") && newValue.trimmed().isEmpty();
}

SendMode sendModeFor(const KxItemInfo *item)
{
    if (!item)
        return SendMode::Normal;
    const QString flag = item->attribute(QStringLiteral("SendFlag")).toString().trimmed();
    if (flag == QLatin1String("0"))
        return SendMode::NoMerge;
    if (flag == QLatin1String("2"))
        return SendMode::ResyncAll;
    return SendMode::Normal;
}

bool needsRebootWarning(const KxItemInfo *item)
{
    if (!item)
        return false;
    return item->reboot == 1
        || item->attribute(QStringLiteral("Reboot")).toString().trimmed() == QLatin1String("1");
}

QList<NavEntry> navigationEntries(const QList<KxUiTool> &tools,
                                  const std::function<bool(const QString &)> &supported)
{
    QList<NavEntry> out;
    for (const KxUiTool &tool : tools) {
        if (tool.id.compare(QLatin1String("AdvancedSettings"), Qt::CaseInsensitive) != 0)
            continue;
        for (const KxUiTool &e : tool.entries) {
            if (e.property.isEmpty() || e.id.isEmpty())
                continue;
            if (supported && !supported(e.property))
                continue;
            out << NavEntry{e.id, e.property, e.text, e.icon};
        }
    }
    return out;
}

bool pageMatches(const QString &pageName, const QString &propertyId)
{
    QString name = pageName.trimmed();
    if (name.isEmpty())
        return false;
    if (!name.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive))
        name += QStringLiteral(".xml");
    return name.compare(propertyId.trimmed(), Qt::CaseInsensitive) == 0;
}

QMap<QString, QString> readLayoutConditions(const QString &path)
{
    QMap<QString, QString> out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return out;
    QDomDocument doc;
    if (!doc.setContent(&f))
        return out;
    const QDomNodeList events = doc.documentElement().elementsByTagName(QStringLiteral("Event"));
    for (int i = 0; i < events.size(); ++i) {
        const QDomElement e = events.at(i).toElement();
        const QString id = e.attribute(QStringLiteral("Id")).trimmed();
        if (!id.isEmpty() && e.parentNode().nodeName() == QLatin1String("Events"))
            out.insert(id, e.attribute(QStringLiteral("Extend")));
    }
    return out;
}

QString unsavedChangesKey(int count)
{
    return count > 0 ? QStringLiteral("#IDS_UnsavedChanges") : QStringLiteral("#IDS_AllChangesSaved");
}

}  // namespace EditLogic
