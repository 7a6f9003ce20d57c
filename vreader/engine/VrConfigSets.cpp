#include "VrConfigSets.h"

#include "VcSymbology.h"

namespace VrConfigSets {

VrCommand command(const VrCommandTable &table, int count)
{
    QMap<QString, QByteArray> values;
    for (const QString &code : ConfigLibRecord::setCodes()) {
        if (const VrCommand *c = table.find(code))
            values.insert(code, c->defaultValue);
    }
    QList<ConfigLibRecord> sets;
    for (int i = 1; i <= count; ++i) {
        ConfigLibRecord r;
        r.id = i;
        r.name = QStringLiteral("Config %1").arg(i);
        r.body = ConfigLibRecord::bodyOf(values);
        sets << r;
    }
    VrCommand c;
    c.code = QStringLiteral("MPCADD");
    c.kind = VrCommand::Setting;
    c.defaultValue = ConfigLibRecord::joinList(sets);
    c.rule.kind = KxValueRule::Free;
    c.rule.defaultValue = QString::fromLatin1(c.defaultValue);
    c.rule.hasDefault = true;
    return c;
}

bool merge(const VrCommandTable &table, const QByteArray &joined, const QByteArray &records,
           QByteArray *merged, QString *error)
{
    // One record, or several joined by "|": all are taken or none.
    QList<ConfigLibRecord> sets = ConfigLibRecord::splitList(joined);
    const QList<QByteArray> parts = records.split('|');
    for (const QByteArray &part : parts) {
        ConfigLibRecord r;
        if (!ConfigLibRecord::fromHex(part, &r, error))
            return false;
        if (r.retryCount < 1) {
            *error = QStringLiteral("retry count 0");
            return false;
        }
        if (!r.body.isEmpty() && r.values().isEmpty()) {
            *error = QStringLiteral("unreadable set values");
            return false;
        }
        const QMap<QString, QByteArray> v = r.values();
        for (auto it = v.cbegin(); it != v.cend(); ++it) {
            const VrCommand *c = table.find(it.key());
            if (!isSetCode(table, it.key()) || !c || !c->rule.accepts(QString::fromUtf8(it.value()))) {
                *error = QStringLiteral("%1%2 refused").arg(it.key(), QString::fromUtf8(it.value()));
                return false;
            }
        }
        bool found = false;
        for (ConfigLibRecord &s : sets) {
            if (s.id == r.id) {
                s = r;
                found = true;
            }
        }
        if (!found) {
            *error = QStringLiteral("no set %1").arg(r.id);
            return false;
        }
    }
    *merged = ConfigLibRecord::joinList(sets);
    return true;
}

bool isSetCode(const VrCommandTable &table, const QString &code)
{
    if (ConfigLibRecord::setCodes().contains(code))
        return true;
    // A set may also switch symbologies on or off for its own reads.
    for (const VcSymbology &s : VcSymbologies::all()) {
        if (s.enable == code)
            return table.find(code) != nullptr;
    }
    return false;
}

QList<ConfigLibRecord> enabled(const QByteArray &joined)
{
    QList<ConfigLibRecord> out;
    for (const ConfigLibRecord &r : ConfigLibRecord::splitList(joined)) {
        if (r.enable)
            out << r;
    }
    std::sort(out.begin(), out.end(),
              [](const ConfigLibRecord &a, const ConfigLibRecord &b) { return a.id < b.id; });
    return out;
}

std::function<QByteArray(const QString &)> values(const ConfigLibRecord &set,
                                                 std::function<QByteArray(const QString &)> running)
{
    const QMap<QString, QByteArray> own = set.values();
    return [own, running](const QString &code) -> QByteArray {
        if (code == QLatin1String("EXPMOD"))
            return "1";
        const auto it = own.constFind(code);
        return it != own.constEnd() ? it.value() : running(code);
    };
}

}  // namespace VrConfigSets
