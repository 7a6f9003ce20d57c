#include "EditDeviceContext.h"

#include "EditLogic.h"
#include "KxBasicControls.h"
#include "KxDeviceCommand.h"
#include "KxDeviceConfigs.h"
#include "KxDeviceConnector.h"
#include "KxI18nUtil.h"
#include "KxPageLoader.h"
#include "KxSettings.h"

#include <QDebug>
#include <QDir>
#include <QHash>
#include <QMutex>

namespace {
struct ConditionStore
{
    QMutex mutex;
    QHash<const KxDeviceCommand *, QMap<QString, QString>> map;
};
ConditionStore &conditions()
{
    static ConditionStore store;
    return store;
}

bool isStoredItem(const KxItemInfo *item)
{
    if (item->flags.compare(QLatin1String("Unstore"), Qt::CaseInsensitive) == 0)
        return false;
    const QString t = item->controlType;
    return t != QLatin1String("Panel") && t != QLatin1String("DEFCMD") && t != QLatin1String("WLSCLP");
}
}  // namespace

namespace EditDeviceContext {

QString modelDir(const KxDeviceConnector *connector)
{
    if (!connector)
        return QString();
    KxDeviceConfigs *configs = KxDeviceConfigs::instance();
    QString dir = configs->modelDir(connector->productName());
    if (dir.isEmpty() && connector->command())
        dir = configs->modelDir(connector->command()->valueText(QStringLiteral("DEVNAM")));
    return dir;
}

std::unique_ptr<KxPagesInfo> loadPage(const QString &modelDir, const QString &page)
{
    if (modelDir.isEmpty() || page.isEmpty())
        return nullptr;
    KxDescriptionIssues issues;
    auto pages = KxPageLoader::loadPages(KxDeviceConfigs::pagePath(modelDir, page), QStringList(), &issues);
    if (!pages)
        qWarning() << "EditDeviceContext::loadPage()... cannot read" << page << "of" << modelDir;
    return pages;
}

bool pageSupported(const KxDeviceCommand *command, const KxPagesInfo *pages)
{
    if (!command || !pages)
        return false;
    for (const KxPageInfo *p : pages->pages) {
        for (const KxItemInfo *item : p->allItems()) {
            if (isStoredItem(item) && command->hasCmd(item->id))
                return true;
        }
    }
    return false;
}

bool pageFileSupported(const KxDeviceCommand *command, const QString &modelDir, const QString &page)
{
    const auto pages = loadPage(modelDir, page);
    if (pageSupported(command, pages.get()))
        return true;
    // A page of symbology lists holds no command itself: the symbology files it names do.
    if (!pages)
        return false;
    for (const KxPageInfo *p : pages->pages) {
        for (const KxItemInfo *item : p->allItems()) {
            const QString xml = item->attribute(QStringLiteral("Xml")).toString();
            if (item->returnType == QLatin1String("1D2DJSON") && !xml.isEmpty() && xml != page
                && pageSupported(command, loadPage(modelDir, xml).get()))
                return true;
        }
    }
    return false;
}

void loadLayoutConditions(const KxDeviceCommand *command, const QString &modelDir)
{
    if (!command)
        return;
    const auto map = EditLogic::readLayoutConditions(modelDir + QStringLiteral("/LayoutCondition.xml"));
    QMutexLocker lock(&conditions().mutex);
    conditions().map.insert(command, map);
}

QMap<QString, QString> layoutConditions(const KxDeviceCommand *command)
{
    QMutexLocker lock(&conditions().mutex);
    return conditions().map.value(command);
}

void prepareModel(const QString &modelDir)
{
    if (modelDir.isEmpty())
        return;
    KxI18nUtil::instance()->loadDeviceModel(modelDir, KxSettings::instance()->language());
    KxImage::setSearchPaths({QDir(modelDir).filePath(QStringLiteral("images")), modelDir});
}

}  // namespace EditDeviceContext
