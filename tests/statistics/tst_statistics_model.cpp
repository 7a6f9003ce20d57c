// The statistics figures, history files and page password without widgets or readers.
#include "KxConfig.h"
#include "KxSettings.h"
#include "StatisticsFigures.h"
#include "StatisticsHistory.h"
#include "StatisticsPassword.h"

#include <QtTest>

class TestStatisticsModel : public QObject
{
    Q_OBJECT
    QTemporaryDir m_data;

    static QByteArray fileBytes(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_data.isValid());
        KxConfig::instance()->setDataDir(m_data.path());
    }
    void init() { QFile::remove(KxConfig::instance()->settingsFile()); }

    void figures_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("record");
        // total, successes, rate, average
        QTest::newRow("one miss in ten thousand") << QByteArray("10000N9999M99990T") << "10000,9999,99.99%,10.00";
        QTest::newRow("rounding would claim every read") << QByteArray("100000N99999M0T") << "100000,99999,99.99%,0.00";
        QTest::newRow("no good read") << QByteArray("5N0M40T") << "5,0,0.00%,0.00";
        QTest::newRow("nothing read yet") << QByteArray("0N0M0T") << "0,0,0.00%,0.00";
        QTest::newRow("every read good") << QByteArray("4N4M50T") << "4,4,100.00%,12.50";
        QTest::newRow("a third") << QByteArray("3N1M7T") << "3,1,33.33%,7.00";
        QTest::newRow("tags in another order") << QByteArray("26T8M10N") << "10,8,80.00%,3.25";
    }
    void figures()
    {
        QFETCH(QByteArray, value);
        QFETCH(QString, record);
        StatisticsCounts c;
        QVERIFY(StatisticsCounters::parseValue(value, &c));
        QCOMPARE(StatisticsCounters::figures(c).record(), record);
    }

    void malformedCountersAreIgnored_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("no time") << QByteArray("10N9M");
        QTest::newRow("no successes") << QByteArray("10N5T");
        QTest::newRow("fraction") << QByteArray("1.5N1M5T");
        QTest::newRow("negative") << QByteArray("-10N9M5T");
        QTest::newRow("tag without number") << QByteArray("N9M5T");
        QTest::newRow("not counters at all") << QByteArray("hello");
    }
    void malformedCountersAreIgnored()
    {
        QFETCH(QByteArray, value);
        StatisticsCounts c;
        c.total = 77;
        QVERIFY(!StatisticsCounters::parseValue(value, &c));
        QCOMPARE(c.total, qint64(77));
        // A reply that is no frame at all is ignored the same way.
        QVERIFY(!StatisticsCounters::parseReply(value, &c));
    }

    void historyWritesEachRecordOnce()
    {
        const QString path = m_data.filePath("statistics/once.csv");
        StatisticsHistory h(path);
        const QDateTime t0(QDate(2026, 3, 1), QTime(8, 0, 0));
        QVERIFY(h.write("10,9,90.00%,5.00", t0));
        // The same counters again: no second line.
        QVERIFY(!h.write("10,9,90.00%,5.00", t0.addSecs(60)));
        QVERIFY(h.write("20,18,90.00%,5.00", t0.addSecs(120)));
        QCOMPARE(fileBytes(path), QByteArray("2026-03-01 08:00:00,10,9,90.00%,5.00\r\n"
                                             "2026-03-01 08:02:00,20,18,90.00%,5.00\r\n"));
        QCOMPARE(h.written().size(), 2);
        QVERIFY(!h.write(QString(), t0));
        StatisticsHistory nowhere;
        QVERIFY(!nowhere.write("1,1,100.00%,1.00", t0));
    }

    void historyOverTheLimitStartsAfresh()
    {
        const QString path = m_data.filePath("statistics/big.csv");
        QDir().mkpath(QFileInfo(path).absolutePath());
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.write(QByteArray(600000, 'x')) == 600000);
        }
        StatisticsHistory h(path);
        QVERIFY(h.write("7,7,100.00%,2.00", QDateTime(QDate(2026, 3, 1), QTime(9, 0))));
        QCOMPARE(fileBytes(path), QByteArray("2026-03-01 09:00:00,7,7,100.00%,2.00\r\n"));
        // Up to the limit the file grows.
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QByteArray(StatisticsHistory::kMaxBytes, 'y'));
        }
        QVERIFY(h.write("8,8,100.00%,2.00", QDateTime(QDate(2026, 3, 1), QTime(9, 1))));
        QCOMPARE(QFileInfo(path).size(), StatisticsHistory::kMaxBytes + 38);
    }

    void historyFollowsTheInterval()
    {
        const QString path = m_data.filePath("statistics/interval.csv");
        StatisticsHistory h(path);
        const QDateTime t0(QDate(2026, 3, 1), QTime(6, 0, 0));
        QVERIFY(h.offer("1,1,100.00%,3.00", t0, 30));  // the first at once
        QVERIFY(!h.offer("50,45,90.00%,3.00", t0.addSecs(29 * 60 + 59), 30));
        QVERIFY(h.offer("60,54,90.00%,3.00", t0.addSecs(30 * 60), 30));
        // Unchanged counters at the next interval: nothing new to keep.
        QVERIFY(!h.offer("60,54,90.00%,3.00", t0.addSecs(60 * 60), 30));
        QVERIFY(!h.offer("70,60,85.71%,3.00", t0.addSecs(61 * 60), 30));
        QVERIFY(h.offer("70,60,85.71%,3.00", t0.addSecs(90 * 60), 30));
        QStringList lines;
        QVERIFY(StatisticsHistory::readLines(path, &lines));
        QCOMPARE(lines, QStringList({"2026-03-01 06:00:00,1,1,100.00%,3.00", "2026-03-01 06:30:00,60,54,90.00%,3.00",
                                     "2026-03-01 07:30:00,70,60,85.71%,3.00"}));
    }

    void historyThatCannotBeOpened()
    {
        // A folder where the file should be: logged, nothing written, nothing remembered.
        const QString path = m_data.filePath("statistics/folder.csv");
        QVERIFY(QDir().mkpath(path));
        StatisticsHistory h(path);
        QVERIFY(!h.write("1,1,100.00%,1.00", QDateTime::currentDateTime()));
        QVERIFY(h.lastRecord().isEmpty());
        QVERIFY(!StatisticsHistory::readLines(m_data.filePath("statistics/missing.csv"), nullptr));
    }

    void trendOfTheShift()
    {
        const QStringList lines = {
            "2026-03-01 05:00:00,50,50,100.00%,9.00",  // before the shift
            "2026-03-01 06:00:00,100,90,90.00%,10.00",
            "garbage line",
            "2026-03-01 06:30:00,200,170,85.00%,10.50",
            "2026-03-01 07:00:00,200,170,85.00%,10.50",  // a stopped line: no interval to show
            "2026-03-01 07:30:00,40,30,75.00%,4.00",     // the counters were cleared
            "2026-03-01 08:00:00,7,x,1,2",
        };
        const QList<StatisticsRecord> records = StatisticsHistory::parse(lines);
        QCOMPARE(records.size(), 5);
        const QList<StatisticsTrendPoint> t =
            StatisticsHistory::trend(records, QDateTime(QDate(2026, 3, 1), QTime(5, 30)));
        QCOMPARE(t.size(), 3);
        // 06:00: 50 reads since the record before the shift, 40 good, 900 - 450 ms.
        QCOMPARE(t[0].reads, qint64(50));
        QCOMPARE(t[0].rate, 80.0);
        QCOMPARE(t[0].averageMs, 11.25);
        // 06:30: 100 reads, 80 good taking 1785 - 900 ms.
        QCOMPARE(t[1].rate, 80.0);
        QCOMPARE(t[1].averageMs, 885.0 / 80.0);
        // After the clear the interval counts from zero.
        QCOMPARE(t[2].at, QDateTime(QDate(2026, 3, 1), QTime(7, 30)));
        QCOMPARE(t[2].reads, qint64(40));
        QCOMPARE(t[2].rate, 75.0);
        QCOMPARE(t[2].averageMs, 4.0);
    }

    void passwordChecksInOrder_data()
    {
        QTest::addColumn<QString>("oldPw");
        QTest::addColumn<QString>("newPw");
        QTest::addColumn<QString>("confirm");
        QTest::addColumn<QString>("message");
        QTest::newRow("all empty") << "" << "" << "" << "#ID_PWD_ERROR1";
        QTest::newRow("wrong old and nothing else") << "wrong" << "" << "" << "#ID_PWD_ERROR2";
        QTest::newRow("no confirmation") << "wrong" << "a" << "" << "#ID_PWD_ERROR3";
        // A mismatch is reported before the old password is checked.
        QTest::newRow("confirmation differs") << "wrong" << "a" << "b" << "#ID_PWD_ERROR4";
        QTest::newRow("old password wrong") << "wrong" << "a" << "a" << "#ID_PWD_ERROR5";
        QTest::newRow("default password as the old one") << "qerlid" << "new1" << "new1" << "#ID_PWD_OK";
    }
    void passwordChecksInOrder()
    {
        QFETCH(QString, oldPw);
        QFETCH(QString, newPw);
        QFETCH(QString, confirm);
        QFETCH(QString, message);
        QCOMPARE(StatisticsPassword::change(oldPw, newPw, confirm), message);
        const QString stored = KxSettings::instance()->value("Statistics", "Pwd").toString();
        QCOMPARE(stored, message == "#ID_PWD_OK" ? QString("E67A40509EBBFF2DDA3AF742D2BF838FB49E5C61") : QString());
    }

    void storedPasswordReplacesTheDefault()
    {
        QVERIFY(StatisticsPassword::matches("qerlid"));
        QVERIFY(!StatisticsPassword::matches(""));
        QCOMPARE(StatisticsPassword::change("qerlid", "密码1", "密码1"), QString("#ID_PWD_OK"));
        // The hash of the UTF-8 bytes, as settings written elsewhere hold it.
        QCOMPARE(KxSettings::instance()->value("Statistics", "Pwd").toString(),
                 QString("F1DCF0F2D4151895EBFFCF0234C67A8E2E14D410"));
        QVERIFY(!StatisticsPassword::matches("qerlid"));
        QVERIFY(StatisticsPassword::matches("密码1"));
        QCOMPARE(StatisticsPassword::change("qerlid", "x", "x"), QString("#ID_PWD_ERROR5"));
        QVERIFY(!StatisticsPassword::isLocked());
        StatisticsPassword::setLocked(true);
        QVERIFY(StatisticsPassword::isLocked());
        QVERIFY(fileBytes(KxConfig::instance()->settingsFile()).contains("[Statistics]"));
    }

    void historyFilesLiveInTheDataDirectory()
    {
        QCOMPARE(StatisticsHistory::pathFor("SN0001", "x"), m_data.filePath("statistics/SN0001.csv"));
        // Without a serial number the device id names it, made safe for a file name.
        QCOMPARE(StatisticsHistory::pathFor(QString(), "usb:COM3/1"), m_data.filePath("statistics/usb_COM3_1.csv"));
        QCOMPARE(StatisticsHistory::intervalMinutes(), 30);
    }
};

QTEST_GUILESS_MAIN(TestStatisticsModel)
#include "tst_statistics_model.moc"
