#include "ConfigLibRows.h"

#include "ConfigLib.h"
#include "KxPageInfo.h"

namespace ConfigLibRows {

QList<ConfigLibRow> build(const KxPagesInfo *pages, const std::function<bool(const QString &)> &readerHas)
{
    QList<ConfigLibRow> rows;
    auto field = [&rows](ConfigLibRow::Kind kind, const QString &key, const char *title) {
        ConfigLibRow r;
        r.kind = kind;
        r.key = key;
        r.title = QString::fromLatin1(title);
        rows << r;
    };
    field(ConfigLibRow::Name, ConfigLib::KeyName, "#IDS_ConfigName");
    field(ConfigLibRow::Enable, ConfigLib::KeyEnable, "#IDS_Enable");
    field(ConfigLibRow::Codes1D, QStringLiteral("_1DCode"), "#IDS_Read1DCode");
    field(ConfigLibRow::Codes2D, QStringLiteral("_2DCode"), "#IDS_Read2DCode");
    field(ConfigLibRow::RetryCount, ConfigLib::KeyRetryCount, "#IDS_RetryCount");
    field(ConfigLibRow::ImageGroup, ConfigLib::KeyImageGroupNo, "#IDS_ImageGroupNo");
    field(ConfigLibRow::TaskNo, ConfigLib::KeyTaskNo, "#IDS_ImageTaskNo");
    if (!pages)
        return rows;
    QMap<QString, int> popupRow;  // "LED" / "PREIMAGE" -> row index
    for (const KxPageInfo *page : pages->pages) {
        for (const KxItemInfo *item : page->allItems()) {
            if (!readerHas(item->id))
                continue;
            const QString cell = item->attribute(QStringLiteral("Cell")).toString();
            if (cell == QLatin1String("LED") || cell == QLatin1String("PREIMAGE")) {
                if (popupRow.contains(cell)) {
                    rows[popupRow.value(cell)].codes << item->id;
                    continue;
                }
                ConfigLibRow r;
                r.kind = cell == QLatin1String("LED") ? ConfigLibRow::Led : ConfigLibRow::PreImage;
                r.key = item->id;
                r.title = cell == QLatin1String("LED") ? QStringLiteral("#IDS_ConfigLedRow")
                                                      : QStringLiteral("#IDS_ConfigPreImageRow");
                r.codes << item->id;
                r.item = item;
                popupRow.insert(cell, rows.size());
                rows << r;
                continue;
            }
            ConfigLibRow r;
            r.key = item->id;
            r.title = item->displayName;
            r.item = item;
            r.kind = item->controlType == QLatin1String("ComboBox") ? ConfigLibRow::Combo : ConfigLibRow::Spin;
            r.codes << item->id;
            rows << r;
        }
    }
    return rows;
}

QList<int> imageGroups()
{
    return {-1, 1, 2, 3, 4, 5, 6, 7, 8};
}

QList<int> taskNumbers()
{
    return {1, 2, 3, 4, 5, 6, 7, 8};
}

QMap<QString, QVariant> copyValues(const ConfigLibRecord *source, const ConfigLibRecord &target,
                                   const std::function<QByteArray(const QString &)> &running)
{
    QMap<QString, QVariant> out;
    if (source) {
        out.insert(ConfigLib::KeyRetryCount, source->retryCount);
        const QMap<QString, QByteArray> v = source->values();
        for (auto it = v.cbegin(); it != v.cend(); ++it)
            out.insert(it.key(), QString::fromUtf8(it.value()));
        return out;
    }
    const QMap<QString, QByteArray> own = target.values();
    for (auto it = own.cbegin(); it != own.cend(); ++it) {
        const QByteArray now = running(it.key());
        if (!now.isEmpty())
            out.insert(it.key(), QString::fromUtf8(now));
    }
    return out;
}

}  // namespace ConfigLibRows
