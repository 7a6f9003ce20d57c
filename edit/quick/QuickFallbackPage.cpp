#include "QuickFallbackPage.h"

#include "KxPageInfo.h"
#include "KxPageLoader.h"

#include <QDir>

#include <algorithm>

namespace QuickFallbackPage {

QStringList mostUsed()
{
    return {QStringLiteral("SCNMOD"), QStringLiteral("DECTMO"), QStringLiteral("SCNITV"),
            QStringLiteral("SCNRRD"), QStringLiteral("MLTCNT"), QStringLiteral("EXPMOD"),
            QStringLiteral("EXPFET"), QStringLiteral("EXPFGN"), QStringLiteral("ILLMOD"),
            QStringLiteral("ILLBRT"), QStringLiteral("FOCPOS"), QStringLiteral("AIMENA"),
            QStringLiteral("BEPENA"), QStringLiteral("PREENA"), QStringLiteral("SUFENA"),
            QStringLiteral("TERENA"), QStringLiteral("NGRENA")};
}

std::unique_ptr<KxPagesInfo> build(const QString &modelDir)
{
    const QStringList wanted = mostUsed();
    auto out = std::make_unique<KxPagesInfo>();
    auto *page = new KxPageInfo;
    page->id = QStringLiteral("Page Quick Settings");
    page->displayName = QStringLiteral("#IDS_CurrentSettings");
    out->pages << page;
    QStringList taken;
    const QDir dir(modelDir + QStringLiteral("/pages"));
    for (const QString &file : dir.entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name)) {
        const auto source = KxPageLoader::loadPages(dir.filePath(file));
        if (!source)
            continue;
        for (KxPageInfo *p : source->pages) {
            for (KxGroupInfo *g : p->groups) {
                auto *group = new KxGroupInfo;
                group->id = g->id;
                group->displayName = g->displayName;
                // The items move over; the rest of the source goes with it.
                for (int i = 0; i < g->items.size();) {
                    KxItemInfo *item = g->items.at(i);
                    if (wanted.contains(item->id) && !taken.contains(item->id)) {
                        taken << item->id;
                        group->items << g->items.takeAt(i);
                    } else {
                        ++i;
                    }
                }
                if (group->items.isEmpty()) {
                    delete group;
                    continue;
                }
                std::sort(group->items.begin(), group->items.end(), [&wanted](KxItemInfo *a, KxItemInfo *b) {
                    return wanted.indexOf(a->id) < wanted.indexOf(b->id);
                });
                page->groups << group;
            }
        }
    }
    if (taken.isEmpty())
        return nullptr;
    // The group of the most used item first.
    std::stable_sort(page->groups.begin(), page->groups.end(), [&wanted](KxGroupInfo *a, KxGroupInfo *b) {
        return wanted.indexOf(a->items.first()->id) < wanted.indexOf(b->items.first()->id);
    });
    return out;
}

}  // namespace QuickFallbackPage
