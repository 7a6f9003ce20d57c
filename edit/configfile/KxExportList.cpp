#include "KxExportList.h"

#include "KxDataStreamTypes.h"
#include "KxDeviceConfigs.h"
#include "KxPageLoader.h"

#include <QDir>

namespace {
// Items that hold no reader value of their own: actions, live values and containers.
bool isStorable(const KxItemInfo &item)
{
    if (item.flags.compare(QLatin1String("Unstore"), Qt::CaseInsensitive) == 0)
        return false;
    for (const char *type : {"Panel", "DEFCMD", "WLSCLP"}) {
        if (item.controlType == QLatin1String(type))
            return false;
    }
    return KxProtocol::isValidCode(item.id);
}

bool pageExportable(const KxPageInfo &page)
{
    const QString v = page.attributes.value(QStringLiteral("Exportable")).toString().trimmed();
    return v != QLatin1String("0") && v.compare(QLatin1String("false"), Qt::CaseInsensitive) != 0;
}

QStringList pageFiles(const QString &modelDir)
{
    const QDir dir(modelDir + QStringLiteral("/pages"));
    QStringList out;
    for (const QString &f : dir.entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name))
        out << dir.filePath(f);
    return out;
}
}  // namespace

void KxExportList::addPages(const KxPagesInfo &pages, const QStringList &restricted)
{
    for (const KxPageInfo *page : pages.pages) {
        if (!pageExportable(*page))
            continue;
        for (const KxItemInfo *item : page->allItems()) {
            if (!isStorable(*item) || restricted.contains(item->id) || codes.contains(item->id))
                continue;
            codes << item->id;
            displayNames.insert(item->id, item->displayName);
        }
    }
}

KxExportList KxExportList::forModel(const KxDeviceConfigs *configs, const QString &modelName,
                                    bool rfid)
{
    KxExportList out;
    if (!configs)
        return out;
    const QString dir = configs->modelDir(modelName);
    if (dir.isEmpty())
        return out;
    const QStringList restricted = configs->restrictExportCmds(rfid);
    for (const QString &path : pageFiles(dir)) {
        if (!configs->isPageExportable(path))
            continue;
        if (const auto pages = KxPageLoader::loadPages(path))
            out.addPages(*pages, restricted);
    }
    return out;
}

QMap<QString, QString> KxExportList::displayNamesForModel(const KxDeviceConfigs *configs,
                                                          const QString &modelName)
{
    QMap<QString, QString> out;
    if (!configs)
        return out;
    const QString dir = configs->modelDir(modelName);
    if (dir.isEmpty())
        return out;
    for (const QString &path : pageFiles(dir)) {
        const auto pages = KxPageLoader::loadPages(path);
        if (!pages)
            continue;
        for (const KxPageInfo *page : pages->pages) {
            for (const KxItemInfo *item : page->allItems()) {
                if (!out.contains(item->id) && !item->displayName.isEmpty())
                    out.insert(item->id, item->displayName);
            }
        }
    }
    return out;
}
