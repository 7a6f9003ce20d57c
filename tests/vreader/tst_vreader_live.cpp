// The reader's live commands: counters that move with reads and clear, the buffer size in both
// lists, clearing the data formats, and an empty answer to "@*" on request.
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDataStreamValue.h"
#include "VrModel.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray req(const char *text)
{
    return KxMakeDataStreamCmd(QByteArray(text), DataProtocol_Settings);
}

QStringList tagNames(const QByteArray &value)
{
    QStringList names;
    for (const auto &p : KxSplitLetterTags(value))
        names << p.first;
    return names;
}

}  // namespace

class TestVReaderLive : public QObject
{
    Q_OBJECT
private:
    QSharedPointer<const VrCommandTable> m_table;
    QTemporaryDir m_dir;

    std::unique_ptr<VrReaderEngine> engine(const QString &statePath = QString())
    {
        VrIdentity id;
        id.model = "KXS-FM800";
        id.serial = "SN-LIVE-1";
        id.mac = VrModel::macFor(id.serial);
        id.ip = "127.0.0.2";
        auto e = std::make_unique<VrReaderEngine>(m_table, id, statePath);
        e->loadState();
        return e;
    }
    static QByteArray value(VrReaderEngine &e, const char *request, const QString &code,
                            int *result = nullptr)
    {
        QByteArray v;
        const int r = KxGetDataStreamResult(e.handleFrame(req(request)).reply, code, v);
        if (result)
            *result = r;
        return v;
    }

private slots:
    void initTestCase()
    {
        QString error;
        m_table = VrModel::loadTable(BREVAN_BIN_DIR "/models", "KXS-FM800", nullptr, &error);
        QVERIFY2(m_table, qPrintable(error));
    }

    void liveCommandsTakeOverPageItems_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("kind");
        QTest::newRow("counters") << "DBGCNT" << int(VrCommand::ReadOnly);
        QTest::newRow("counters clear") << "DBGCNC" << int(VrCommand::Action);
        QTest::newRow("trigger once") << "SCNITG" << int(VrCommand::Action);
        QTest::newRow("formats clear") << "DFMCAL" << int(VrCommand::Action);
        QTest::newRow("buffer size") << "BUFQRY" << int(VrCommand::ReadOnly);
        // A plain page setting stays a setting.
        QTest::newRow("setting") << "C28ENA" << int(VrCommand::Setting);
    }
    void liveCommandsTakeOverPageItems()
    {
        QFETCH(QString, code);
        QFETCH(int, kind);
        const VrCommand *c = m_table->find(code);
        QVERIFY(c);
        QCOMPARE(int(c->kind), kind);
    }

    void countersMoveWithReadsAndClear()
    {
        auto e = engine();
        const QByteArray pageDefault = value(*e, "@DBGCNT&", "DBGCNT");
        QCOMPARE(pageDefault, QByteArray("0N0M0T"));  // the model's description
        QCOMPARE(value(*e, "@DBGCNT", "DBGCNT"), pageDefault);
        // Other traffic is not a read.
        e->handleFrame(req("@*"));
        e->handleFrame(req("#C28ENA0"));
        QCOMPARE(value(*e, "@DBGCNT*", "DBGCNT"), QByteArray("0N0M0T"));

        int result = 0;
        value(*e, "#SCNITG1", "SCNITG", &result);
        QCOMPARE(result, int(DataResult_Ack));
        e->handleFrame(req("#SCNITG1"));
        e->handleFrame(req("#SCNTRG1"));
        e->handleFrame(req("#SCNTRG0"));  // releasing the trigger reads nothing
        const QByteArray live = value(*e, "@DBGCNT", "DBGCNT");
        const int t = 3 * VrReaderEngine::kSimulatedReadMs;
        QCOMPARE(live, QByteArray("3N3M") + QByteArray::number(t) + 'T');
        QCOMPARE(tagNames(live), tagNames(pageDefault));

        // The reply carries the letter-tagged parts as sub-tags.
        const KxDataStreamParser parser(e->handleFrame(req("@DBGCNT")).reply);
        QByteArray n, m;
        QCOMPARE(parser.getSubTagData("DBGCNT", "N", n), int(DataResult_Ack));
        QCOMPARE(parser.getSubTagData("DBGCNT", "M", m), int(DataResult_Ack));
        QCOMPARE(n, QByteArray("3"));
        QCOMPARE(m, QByteArray("3"));

        // "@DBGCNC" without a value clears, as the statistics poller sends it.
        value(*e, "@DBGCNC", "DBGCNC", &result);
        QCOMPARE(result, int(DataResult_Ack));
        QCOMPARE(value(*e, "@DBGCNT", "DBGCNT"), QByteArray("0N0M0T"));
    }

    void noReadsAreCounted()
    {
        auto e = engine();
        e->setNoReadEvery(3);
        for (int i = 0; i < 7; ++i)
            e->handleFrame(req("#SCNITG1"));
        // Reads 3 and 6 found nothing.
        QCOMPARE(value(*e, "@DBGCNT", "DBGCNT"),
                 QByteArray("7N5M") + QByteArray::number(7 * VrReaderEngine::kSimulatedReadMs) + 'T');
    }

    void allQueriesStillListPageButtons()
    {
        auto e = engine();
        for (const char *all : {"@*", "@^", "@&"}) {
            const KxDataStreamParser p(e->handleFrame(req(all)).reply);
            QVERIFY(p.isValid());
            QStringList codes;
            for (const KxTagInfo &t : p.tags())
                codes << t.code;
            for (const char *code : {"DBGCNT", "DBGCNC", "SCNITG", "BUFQRY"})
                QVERIFY2(codes.contains(code), qPrintable(QString("%1 %2").arg(all, code)));
            QVERIFY2(!codes.contains("FACDEF"), all);  // actions of the reader's own are not
        }
        // Listing never runs an action.
        QCOMPARE(value(*e, "@DBGCNT", "DBGCNT"), QByteArray("0N0M0T"));
    }

    void bufferSizeInBothLists_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("default") << 0;
        QTest::newRow("small") << 700;
        QTest::newRow("large") << 65536;
    }
    void bufferSizeInBothLists()
    {
        QFETCH(int, size);
        auto e = engine();
        if (size > 0)
            e->setBufferSize(size);
        const QByteArray expected = QByteArray::number(size > 0 ? size : 4096);
        QCOMPARE(value(*e, "@BUFQRY*", "BUFQRY"), expected);
        QCOMPARE(value(*e, "@BUFQRY^", "BUFQRY"), expected);
        QByteArray fromAll;
        QCOMPARE(KxGetDataStreamResult(e->handleFrame(req("@^")).reply, "BUFQRY", fromAll),
                 int(DataResult_Ack));
        QCOMPARE(fromAll, expected);
        int result = 0;
        value(*e, "#BUFQRY100", "BUFQRY", &result);
        QCOMPARE(result, int(DataResult_Refused));  // read only
    }

    void formatsClear()
    {
        auto e = engine(m_dir.filePath("formats.json"));
        int result = 0;
        value(*e, "@DFMADD0099", "DFMADD", &result);
        QCOMPARE(result, int(DataResult_Ack));
        value(*e, "#DFMADD0042", "DFMADD", &result);
        QCOMPARE(result, int(DataResult_Ack));
        // "#" clears the running formats; the stored ones come back on restart.
        value(*e, "#DFMCAL", "DFMCAL", &result);
        QCOMPARE(result, int(DataResult_Ack));
        QCOMPARE(value(*e, "@DFMADD*", "DFMADD"), QByteArray());
        e->restart();
        QCOMPARE(value(*e, "@DFMADD*", "DFMADD"), QByteArray("0099"));
        // "@" clears them for good, also across a new process.
        value(*e, "@DFMCAL", "DFMCAL", &result);
        QCOMPARE(result, int(DataResult_Ack));
        e->restart();
        QCOMPARE(value(*e, "@DFMADD*", "DFMADD"), QByteArray());
        auto again = engine(m_dir.filePath("formats.json"));
        QCOMPARE(value(*again, "@DFMADD*", "DFMADD"), QByteArray());
        // The batch the command engine sends for a new format: clear, then add.
        const KxDataStreamParser p(e->handleFrame(req("#DFMCAL;DFMADD0123")).reply);
        QList<QString> failed;
        QVERIFY(p.checkAllCmdAck(failed));
        QCOMPARE(value(*e, "@DFMADD*", "DFMADD"), QByteArray("0123"));
    }

    void emptyQueryAllFault()
    {
        auto e = engine();
        e->setEmptyQueryAll(true);
        const KxDataStreamParser all(e->handleFrame(req("@*")).reply);
        QVERIFY(all.isValid());
        QVERIFY(all.tags().isEmpty());
        QList<QString> failed;
        QVERIFY(!all.checkAllCmdAck(failed));  // no items: a client must not call it a success
        QVERIFY(KxDataStreamParser(e->handleFrame(req("@&")).reply).tags().size() > 150);
        QCOMPARE(value(*e, "@C28ENA*", "C28ENA"), QByteArray("1"));
    }
};

QTEST_GUILESS_MAIN(TestVReaderLive)
#include "tst_vreader_live.moc"
