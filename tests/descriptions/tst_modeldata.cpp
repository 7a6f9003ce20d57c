// Loads every reader model shipped in the installation and checks that the pages describe
// controls the program can build and values the reader can take.
#include "KxControlTypes.h"
#include "KxDeviceConfigs.h"
#include "KxModelFiles.h"
#include "KxPageLoader.h"
#include "KxValueRule.h"

#include <QDir>
#include <QtTest>

namespace {

const QString modelsDir = QStringLiteral(BREVAN_BIN_DIR "/models");

QStringList describe(const KxDescriptionIssues &issues)
{
    QStringList out;
    for (const KxDescriptionIssue &i : issues)
        out << i.toString();
    return out;
}

QString where(const QString &file, const KxItemInfo *item)
{
    return QStringLiteral("%1: item %2 (%3)").arg(file, item->id, item->controlType);
}

// Every check of one page file; problems are appended as readable lines.
void checkPageFile(const QString &path, QStringList &problems)
{
    KxDescriptionIssues issues;
    std::unique_ptr<KxPagesInfo> pages = KxPageLoader::loadPages(path, {}, &issues);
    problems += describe(issues);
    if (!pages)
        return;
    if (pages->pages.isEmpty())
        problems << path + QStringLiteral(": no page");
    for (const KxPageInfo *page : pages->pages) {
        QSet<QString> ids;
        for (const KxItemInfo *item : page->allItems())
            ids.insert(item->id);
        auto checkLinks = [&](const KxTriggerSet &set, const QString &owner) {
            for (const QString &link : set.links) {
                if (!ids.contains(link))
                    problems << QStringLiteral("%1: page %2: %3 has a trigger on \"%4\", which is "
                                               "no item of the page")
                                    .arg(path, page->id, owner, link);
            }
        };
        for (const KxGroupInfo *group : page->groups) {
            checkLinks(group->triggers, QStringLiteral("group ") + group->id);
            for (const KxItemInfo *item : group->items) {
                checkLinks(item->triggers, QStringLiteral("item ") + item->id);
                if (!KxControlTypes::isKnown(item->controlType)) {
                    problems << where(path, item) + QStringLiteral(": unknown ControlType");
                    continue;
                }
                const KxValueRule rule = KxValueRule::fromItem(*item);
                QString why;
                if (rule.isEmpty(&why))
                    problems << where(path, item) + QStringLiteral(": ") + why;
                else if (rule.hasDefault && !rule.accepts(rule.defaultValue, &why))
                    problems << where(path, item) +
                                    QStringLiteral(": default \"%1\" refused: %2")
                                        .arg(rule.defaultValue, why);
            }
        }
    }
}

void collectPropertyFiles(const QList<KxUiTool> &tools, QStringList &files)
{
    for (const KxUiTool &t : tools) {
        if (!t.property.isEmpty())
            files << t.property;
        collectPropertyFiles(t.entries, files);
    }
}

} // namespace

class TestModelData : public QObject
{
    Q_OBJECT

private slots:
    void descriptionFilesLoadCleanly_data();
    void descriptionFilesLoadCleanly();
    void everyModel_data();
    void everyModel();
};

void TestModelData::descriptionFilesLoadCleanly_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("en") << "en";
    QTest::newRow("zh_cn") << "zh_cn";
}

void TestModelData::descriptionFilesLoadCleanly()
{
    QFETCH(QString, language);
    KxDeviceConfigs cfg(KxDescriptionDirs::fromModelsDir(modelsDir), language);
    QVERIFY2(cfg.load(), qPrintable(describe(cfg.issues()).join('\n')));
    QVERIFY(!cfg.allDevices().isEmpty());
    QVERIFY(!cfg.symbologies().isEmpty());
    QVERIFY(!cfg.getLenCmds(false).isEmpty());
    QVERIFY2(cfg.issues().isEmpty(), qPrintable(describe(cfg.issues()).join('\n')));
    // Files read on demand must be clean too.
    QMap<QString, QList<double>> urfhp;
    KxDescriptionIssues issues;
    if (QFileInfo::exists(cfg.dirs().rfidDir + "/urfhp.xml"))
        QVERIFY(KxModelFiles::readUrfhp(cfg.dirs().rfidDir + "/urfhp.xml", urfhp, &issues));
    QVERIFY2(issues.isEmpty(), qPrintable(describe(issues).join('\n')));
}

void TestModelData::everyModel_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("id");
    for (const QString &language : {QStringLiteral("en"), QStringLiteral("zh_cn")}) {
        KxDeviceConfigs cfg(KxDescriptionDirs::fromModelsDir(modelsDir), language);
        for (const KxDeviceConfig &e : cfg.allDevices())
            QTest::newRow(qPrintable(language + '/' + e.id)) << language << e.id;
    }
}

void TestModelData::everyModel()
{
    QFETCH(QString, language);
    QFETCH(QString, id);
    KxDeviceConfigs cfg(KxDescriptionDirs::fromModelsDir(modelsDir), language);
    QStringList problems;

    KxDeviceConfig entry;
    QVERIFY(cfg.findDevice(id, entry));
    QCOMPARE(entry.id, id);
    const QString product = entry.name.isEmpty() ? entry.id : entry.name;
    KxDeviceConfig byName;
    if (!cfg.findDevice(product, byName) || byName.id != id)
        problems << QStringLiteral("findDevice(\"%1\") does not find %2").arg(product, id);
    if (!entry.offlineXml.isEmpty() && !QFileInfo(entry.offlineXml).isFile())
        problems << QStringLiteral("offline configuration %1 missing").arg(entry.offlineXml);
    if (!entry.icon.isEmpty() && cfg.deviceIcon(product) == cfg.unknownDeviceIcon())
        problems << QStringLiteral("icon %1 missing").arg(entry.icon);

    const QString dir = cfg.modelDir(entry);
    const QStringList pageFiles =
        QDir(dir + "/pages").entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name);
    if (pageFiles.isEmpty())
        problems << QStringLiteral("%1: no page files").arg(dir);
    for (const QString &f : pageFiles)
        checkPageFile(dir + "/pages/" + f, problems);

    // The layout must load and every page it names must exist.
    const QString layout = dir + "/UILayout.xml";
    if (QFileInfo::exists(layout)) {
        QList<KxUiTool> tools;
        KxDescriptionIssues issues;
        if (!KxModelFiles::readUiLayout(layout, tools, &issues))
            problems << layout + QStringLiteral(": unreadable");
        problems += describe(issues);
        QStringList named;
        collectPropertyFiles(tools, named);
        for (const QString &p : named) {
            if (!QFileInfo::exists(KxDeviceConfigs::pagePath(dir, p)))
                problems << QStringLiteral("%1 names page %2, which does not exist").arg(layout, p);
        }
    }
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
}

QTEST_GUILESS_MAIN(TestModelData)
#include "tst_modeldata.moc"
