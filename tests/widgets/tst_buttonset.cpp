// Button-set keys: splitting, prefixes, translation and roles.
#include "KxButtonSet.h"
#include "KxI18nUtil.h"

#include <QtTest>

class TestButtonSet : public QObject
{
    Q_OBJECT
private slots:
    void init() { KxI18nUtil::instance()->clear(); }

    void keys_data()
    {
        QTest::addColumn<QString>("set");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("ok-cancel") << "#IDS_OK|Cancel" << QStringList{"#IDS_OK", "#IDS_Cancel"};
        QTest::newRow("yes-no-cancel")
            << "#IDS_Yes|No|Cancel" << QStringList{"#IDS_Yes", "#IDS_No", "#IDS_Cancel"};
        QTest::newRow("single") << "#IDS_MessageBox_OK" << QStringList{"#IDS_MessageBox_OK"};
        QTest::newRow("trailing bar") << "#IDS_OK|" << QStringList{"#IDS_OK"};
        QTest::newRow("empty set") << "" << QStringList{"#IDS_MessageBox_OK"};
        QTest::newRow("spaces") << " #IDS_Restry | Back "
                                << QStringList{"#IDS_Restry", "#IDS_Back"};
        QTest::newRow("full keys kept")
            << "#IDS_OK|#ID_Other" << QStringList{"#IDS_OK", "#ID_Other"};
        QTest::newRow("first part as is") << "Plain|Cancel" << QStringList{"Plain", "#IDS_Cancel"};
        QTest::newRow("empty middle") << "#IDS_Yes||No" << QStringList{"#IDS_Yes", "#IDS_No"};
    }
    void keys()
    {
        QFETCH(QString, set);
        QFETCH(QStringList, expected);
        QCOMPARE(KxButtonSet::keys(set), expected);
    }

    void texts_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QString>("set");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("en") << "en"
                            << "#IDS_OK|Cancel" << QStringList{"OK", "Cancel"};
        QTest::newRow("zh") << "zh_cn"
                            << "#IDS_OK|Cancel" << QStringList{"确定", "取消"};
        QTest::newRow("zh yes-no") << "zh_cn"
                                   << "#IDS_Yes|No|Cancel" << QStringList{"是", "否", "取消"};
        QTest::newRow("missing key shows key without #")
            << "en"
            << "#IDS_OK|NoSuchKeyAnywhere" << QStringList{"OK", "IDS_NoSuchKeyAnywhere"};
        QTest::newRow("plain text stays") << "en"
                                          << "Plain" << QStringList{"Plain"};
    }
    void texts()
    {
        QFETCH(QString, lang);
        QFETCH(QString, set);
        QFETCH(QStringList, expected);
        QVERIFY(KxI18nUtil::instance()->loadMain(BREVAN_SOURCE_DIR "/models/resources", lang));
        QCOMPARE(KxButtonSet::texts(set), expected);
    }

    void roles_data()
    {
        QTest::addColumn<QString>("set");
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("role");
        QTest::addColumn<bool>("accepted");
        const int accept = int(KxButtonRole::Accept), yes = int(KxButtonRole::Yes),
                  no = int(KxButtonRole::No), reject = int(KxButtonRole::Reject),
                  action = int(KxButtonRole::Action);
        QTest::newRow("ok") << "#IDS_OK|Cancel" << 1 << accept << true;
        QTest::newRow("cancel") << "#IDS_OK|Cancel" << 2 << reject << false;
        QTest::newRow("closed") << "#IDS_OK|Cancel" << 0 << reject << false;
        QTest::newRow("out of range") << "#IDS_OK|Cancel" << 3 << reject << false;
        QTest::newRow("yes") << "#IDS_Yes|No|Cancel" << 1 << yes << true;
        QTest::newRow("no") << "#IDS_Yes|No|Cancel" << 2 << no << false;
        QTest::newRow("yes-no-cancel 3") << "#IDS_Yes|No|Cancel" << 3 << reject << false;
        QTest::newRow("retry") << "#IDS_Restry|Back" << 1 << accept << true;
        QTest::newRow("back") << "#IDS_Restry|Back" << 2 << reject << false;
        QTest::newRow("single ok") << "#IDS_MessageBox_OK" << 1 << accept << true;
        QTest::newRow("case-insensitive") << "#IDS_cancel|ok" << 2 << accept << true;
        QTest::newRow("unknown first") << "#IDS_Upgrade|Later|Skip" << 1 << accept << true;
        QTest::newRow("unknown middle") << "#IDS_Upgrade|Later|Skip" << 2 << action << false;
        QTest::newRow("unknown last") << "#IDS_Upgrade|Later|Skip" << 3 << reject << false;
        QTest::newRow("cancel first") << "#IDS_Cancel|OK" << 1 << reject << false;
    }
    void roles()
    {
        QFETCH(QString, set);
        QFETCH(int, button);
        QFETCH(int, role);
        QFETCH(bool, accepted);
        const KxMessageResult r = KxButtonSet::resultFor(set, button);
        QCOMPARE(int(r.role), role);
        QCOMPARE(r.isAccepted(), accepted);
        const bool inRange = button >= 1 && button <= KxButtonSet::keys(set).size();
        QCOMPARE(r.button, inRange ? button : 0);
        QCOMPARE(r.key, inRange ? KxButtonSet::keys(set).at(button - 1) : QString());
    }
};

QTEST_GUILESS_MAIN(TestButtonSet)
#include "tst_buttonset.moc"
