// The reader's live commands: counters that move with reads and clear, the buffer size in both
// lists, clearing the data formats, the list of unsaved differences and where actions are listed.
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

    // Page buttons are listed everywhere with their page values; the reader's own actions hold
    // no value and appear only among the capabilities, as "action".
    void allQueriesListActionsAmongCapabilitiesOnly()
    {
        auto e = engine();
        QStringList ownActions;
        for (const QString &code : m_table->codes()) {
            const VrCommand *c = m_table->find(code);
            if (c->kind == VrCommand::Action && !c->fromPages)
                ownActions << code;
        }
        for (const char *code : {"FACDEF", "CUSSAV", "CUSDEF", "INCFMC", "REBOOT"})
            QVERIFY2(ownActions.contains(code), code);
        for (const char *all : {"@*", "@^", "@&"}) {
            const KxDataStreamParser p(e->handleFrame(req(all)).reply);
            QVERIFY(p.isValid());
            QList<QString> failed;
            QVERIFY2(p.checkAllCmdAck(failed), all);
            const QMap<QString, QByteArray> map = p.getTagMap();
            for (const char *code : {"DBGCNT", "DBGCNC", "SCNITG", "BUFQRY", "DIFQRY"})
                QVERIFY2(map.contains(code), qPrintable(QString("%1 %2").arg(all, code)));
            const bool capabilities = QByteArray(all) == "@^";
            for (const QString &code : ownActions) {
                QCOMPARE(map.contains(code), capabilities);
                if (capabilities)
                    QCOMPARE(map.value(code), QByteArray("action"));
            }
            QCOMPARE(map.size(), capabilities ? m_table->size() : m_table->size() - ownActions.size());
        }
        // Listing never runs an action.
        QCOMPARE(value(*e, "@DBGCNT", "DBGCNT"), QByteArray("0N0M0T"));
    }

    // An action is acknowledged with the value it was sent, so a client comparing the echo with
    // what it sent accepts it.
    void actionsEchoTheirValue()
    {
        auto e = engine();
        int result = 0;
        QCOMPARE(value(*e, "#SCNITG1", "SCNITG", &result), QByteArray("1"));
        QCOMPARE(result, int(DataResult_Ack));
        QCOMPARE(value(*e, "#CUSSAV", "CUSSAV", &result), QByteArray());
        QCOMPARE(result, int(DataResult_Ack));
        QCOMPARE(value(*e, "@DBGCNT", "DBGCNT"),
                 QByteArray("1N1M") + QByteArray::number(VrReaderEngine::kSimulatedReadMs) + 'T');
    }

    void differencesListUnsavedSettings()
    {
        auto e = engine();
        auto differences = [&e](const char *request) {
            const KxDataStreamParser p(e->handleFrame(req(request)).reply);
            QByteArray main;
            const int r = p.getSubTagData("DIFQRY", QString(), main);
            QStringList parts{QString::number(r), QString::fromLatin1(main)};
            for (const KxSubTag &s : p.getSubTagDatas("DIFQRY"))
                parts << QStringLiteral("%1=%2(%3)").arg(s.tag, QString::fromUtf8(s.value)).arg(s.result);
            return parts.join(' ');
        };
        QCOMPARE(differences("@DIFQRY*"), QStringLiteral("6 "));
        // Running changes differ; a stored one does not; a running value equal to the stored
        // one does not either.
        e->handleFrame(req("#C28ENA0;BEPENA0"));
        e->handleFrame(req("@C39ENA0"));
        e->handleFrame(req("#BEPENA1"));
        e->handleFrame(KxMakeBinarySettingsRequest({{"DEVNAM", ""}}, false));
        // In the reader's table order, whatever the order of the changes.
        const QStringList order = m_table->codes();
        QVERIFY(order.indexOf("C28ENA") >= 0 && order.indexOf("DEVNAM") >= 0);
        QStringList expected{"C28ENA=1(6)", "DEVNAM=KXS-FM800(6)"};
        std::sort(expected.begin(), expected.end(), [&order](const QString &a, const QString &b) {
            return order.indexOf(a.left(6)) < order.indexOf(b.left(6));
        });
        QStringList codes;
        for (const QString &x : expected)
            codes << x.left(6);
        const QString want = "6 " + codes.join(',') + ' ' + expected.join(' ');
        QCOMPARE(differences("@DIFQRY*"), want);
        QCOMPARE(differences("#DIFQRY"), want);
        // Read only: a value is refused and changes nothing.
        int result = 0;
        value(*e, "@DIFQRYC28ENA", "DIFQRY", &result);
        QCOMPARE(result, int(DataResult_Refused));
        QCOMPARE(differences("@DIFQRY*"), want);
        // Listed among the values and the capabilities.
        QByteArray listed;
        QCOMPARE(KxGetDataStreamResult(e->handleFrame(req("@*")).reply, "DIFQRY", listed), 6);
        QCOMPARE(QString::fromLatin1(listed), codes.join(','));
        QCOMPARE(KxGetDataStreamResult(e->handleFrame(req("@^")).reply, "DIFQRY", listed), 6);
        QCOMPARE(listed, QByteArray("codes"));
        QCOMPARE(value(*e, "@DIFQRY&", "DIFQRY"), QByteArray());
        // Storing or undoing a change takes it off the list; a restart clears it.
        e->handleFrame(req("@C28ENA0"));
        QCOMPARE(differences("@DIFQRY*"), QStringLiteral("6 DEVNAM DEVNAM=KXS-FM800(6)"));
        e->handleFrame(req("#C28ENA1"));
        e->handleFrame(req("#DEVNAMKXS-FM800"));
        QCOMPARE(differences("@DIFQRY*"), QStringLiteral("6 C28ENA C28ENA=0(6)"));
        e->handleFrame(req("#DEVNAMx"));
        e->restart();
        QCOMPARE(differences("@DIFQRY*"), QStringLiteral("6 "));
        QCOMPARE(e->runningValue("C28ENA"), QByteArray("0"));
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
};

QTEST_GUILESS_MAIN(TestVReaderLive)
#include "tst_vreader_live.moc"
