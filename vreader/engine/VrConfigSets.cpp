#include "VrConfigSets.h"

namespace VrConfigSets {

VrCommand command(const VrCommandTable &table)
{
    QMap<QString, QByteArray> values;
    for (const QString &code : ConfigLibRecord::setCodes()) {
        if (const VrCommand *c = table.find(code))
            values.insert(code, c->defaultValue);
    }
    QList<ConfigLibRecord> sets;
    for (int i = 1; i <= SetCount; ++i) {
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

bool merge(const VrCommandTable &table, const QByteArray &joined, const QByteArray &record,
           QByteArray *merged, QString *error)
{
    ConfigLibRecord r;
    if (!ConfigLibRecord::fromHex(record, &r, error))
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
        if (!ConfigLibRecord::setCodes().contains(it.key()) || !c
            || !c->rule.accepts(QString::fromUtf8(it.value()))) {
            *error = QStringLiteral("%1%2 refused").arg(it.key(), QString::fromUtf8(it.value()));
            return false;
        }
    }
    QList<ConfigLibRecord> sets = ConfigLibRecord::splitList(joined);
    for (ConfigLibRecord &s : sets) {
        if (s.id == r.id) {
            s = r;
            *merged = ConfigLibRecord::joinList(sets);
            return true;
        }
    }
    *error = QStringLiteral("no set %1").arg(r.id);
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
