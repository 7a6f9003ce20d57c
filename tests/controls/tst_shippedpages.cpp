// Every page of every shipped model builds, and every storable item gets a control whose value
// parses back to the item's default.
#include "controls_testutil.h"

#include "KxI18nUtil.h"
#include "KxPropertyWidget.h"
#include "KxValueRule.h"

#include <QDir>
#include <QtTest>

class TestShippedPages : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        KxStandardControls::registerAll();
        KxI18nUtil::instance()->loadMain(QStringLiteral(BREVAN_BIN_DIR "/models/resources"), QStringLiteral("en"));
    }

    void model_data()
    {
        QTest::addColumn<QString>("dir");
        const QDir root(QStringLiteral(BREVAN_BIN_DIR "/models/barcodesetting"));
        const QStringList models = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        int found = 0;
        for (const QString &m : models) {
            if (QDir(root.filePath(m + "/pages")).exists()) {
                QTest::newRow(qPrintable(m)) << root.filePath(m);
                ++found;
            }
        }
        QVERIFY2(found >= 4, "the four shipped models were not found");
    }
    void model()
    {
        QFETCH(QString, dir);
        const QStringList files = QDir(dir + "/pages").entryList({"*.xml"}, QDir::Files);
        QVERIFY(!files.isEmpty());
        int checked = 0;
        for (const QString &file : files) {
            auto pages = KxPageLoader::loadPages(dir + "/pages/" + file);
            QVERIFY2(pages, qPrintable(file));
            KxPropertyWidget w;
            w.setProperty(pages.get());
            for (KxPageInfo *page : pages->pages) {
                // Show everything: controls hidden by triggers still must build and round-trip.
                for (KxGroupInfo *g : page->groups) {
                    for (KxItemInfo *item : g->items) {
                        if (!w.isStorable(item) || !KxControlCreator::instance()->isRegistered(item->controlType))
                            continue;
                        KxControlBase *c = w.control(item->id, page->id);
                        if (!c) {
                            QVERIFY2(!w.isItemVisible(item) || !w.isGroupVisible(g),
                                     qPrintable(QStringLiteral("%1 %2: visible but no control").arg(file, item->id)));
                            // Hidden now: build it alone to check the round trip all the same.
                            EventSink sink;
                            std::unique_ptr<KxControlBase> alone(makeControl(item, &sink));
                            QVERIFY2(alone, qPrintable(item->id));
                            checkRoundTrip(file, *item, alone.get());
                        } else {
                            checkRoundTrip(file, *item, c);
                        }
                        ++checked;
                    }
                }
            }
        }
        QVERIFY(checked > 20);
    }

    // A title either fits its column or wraps: never cut. The host carries a style sheet, as
    // every window of the program does, which changes how fonts reach the labels.
    void titlesNotCut_data() { model_data(); }
    void titlesNotCut()
    {
        QFETCH(QString, dir);
        const QStringList files = QDir(dir + "/pages").entryList({"*.xml"}, QDir::Files);
        for (const QString &file : files) {
            auto pages = KxPageLoader::loadPages(dir + "/pages/" + file);
            QVERIFY2(pages, qPrintable(file));
            QWidget host;
            host.setObjectName(QStringLiteral("host"));
            host.setStyleSheet(QStringLiteral("QWidget#host{background:#ffffff;}"));
            auto *w = new KxPropertyWidget(&host);
            w->setProperty(pages.get());
            host.resize(1400, 900);
            w->resize(1400, 900);
            host.show();
            QVERIFY(QTest::qWaitForWindowExposed(&host));
            for (QLabel *l : w->findChildren<QLabel *>()) {
                if (!l->isVisible() || l->wordWrap() || l->text().isEmpty() || !l->text().endsWith(':'))
                    continue;
                const int need = l->fontMetrics().horizontalAdvance(l->text());
                QVERIFY2(l->contentsRect().width() >= need,
                         qPrintable(QStringLiteral("%1: \"%2\" needs %3 px, has %4")
                                        .arg(file, l->text()).arg(need).arg(l->contentsRect().width())));
            }
        }
    }

private:
    void checkRoundTrip(const QString &file, const KxItemInfo &item, KxControlBase *c)
    {
        const QString where = QStringLiteral("%1 %2 (%3)").arg(file, item.id, item.controlType);
        QVERIFY2(!c->isModified(), qPrintable(where + ": shows " + c->value().toString()
                                              + " for default " + item.defaultValue.toString()));
        if (item.controlType == QLatin1String("IMAGE"))
            return;
        const QString v = c->value().toString();
        QString why;
        QVERIFY2(KxValueRule::fromItem(item).accepts(v, &why), qPrintable(where + ": " + why));
    }
};

QTEST_MAIN(TestShippedPages)
#include "tst_shippedpages.moc"
