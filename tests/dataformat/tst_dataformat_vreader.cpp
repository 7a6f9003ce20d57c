// The virtual reader formats its results: the real program on loopback, driven through the
// kit. The frames must carry exactly what the engine's preview gives for the same code.
#include "CameraTestUtil.h"
#include "KxDataFormat.h"
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDeviceKit.h"
#include "VReaderProcess.h"

#include <QSaveFile>
#include <QtTest>

namespace {

const QByteArray kQr = "QR-0123456789";
const QByteArray kCode128 = "C128-ABCDEFGH";
const QByteArray kEan = "4006381333931";

QByteArray sceneJson()
{
    return QStringLiteral(
               R"({"sensor":[960,600],"background":0.5,"codes":[
 {"symbology":"Code 128","text":"%1","x":260,"y":200,"module":2,"height":80},
 {"symbology":"QR Code","text":"%2","x":720,"y":200,"module":4},
 {"symbology":"EAN-13","text":"%3","x":480,"y":470,"module":2,"height":60}]})")
        .arg(QString::fromLatin1(kCode128), QString::fromLatin1(kQr), QString::fromLatin1(kEan))
        .toUtf8();
}

QString encoded(const QList<KxDataFormatCommand> &list)
{
    QString all;
    for (const KxDataFormatCommand &c : list) {
        QString one;
        if (!KxDataFormatCommands::encode(c, &one))
            return QString();
        all += one;
    }
    return all;
}

// A prefix, then the first 8 characters of the code and a closing mark.
const QString kPrefixCut = encoded({{"B9", {"PRE-"}}, {"F2", {"8", "]"}}});

}  // namespace

class TstDataFormatVReader : public QObject
{
    Q_OBJECT
private:
    KxDeviceKit *kit = KxDeviceKit::Instance();
    VReaderProcess m_vr;
    QTemporaryDir m_dir;
    QString m_id = QStringLiteral("dataformat-test");
    ResultStream m_stream;

    int query(const QString &code, QByteArray *value)
    {
        QByteArray reply;
        if (kit->sendBinaryMessage(m_id, KxMakeDataStreamCmd("@" + code.toLatin1(), DataProtocol_Settings, true),
                                   reply, 30000) != 0)
            return -1;
        return KxGetDataStreamResult(reply, code, *value);
    }
    // Running changes, each in a binary request so that any text can travel.
    bool set(const QList<QPair<QString, QByteArray>> &items)
    {
        for (const auto &item : items) {
            QByteArray reply, value;
            if (kit->sendBinaryMessage(m_id, KxMakeBinarySettingsRequest({{item.first, item.second}}, false),
                                       reply, 30000) != 0
                || KxGetDataStreamResult(reply, item.first, value) != DataResult_Ack)
                return false;
        }
        return true;
    }
    QMap<QString, QByteArray> trigger()
    {
        m_stream.clear();
        QByteArray reply, value;
        const int sent = kit->sendBinaryMessage(m_id, KxMakeDataStreamCmd("#SCNITG", DataProtocol_Settings, true), reply, 30000);
        if (sent != 0) {
            qWarning() << "trigger not sent" << sent;
            return {};
        }
        QElapsedTimer t;
        t.start();
        while (!m_stream.readDone() && t.elapsed() < 30000)
            QTest::qWait(20);
        QMap<QString, QByteArray> byId;
        for (const CameraResult &r : m_stream.results()) {
            if (!r.noRead)
                byId.insert(r.codeId, r.data);
        }
        return byId;
    }

private slots:
    void initTestCase()
    {
        const QString scene = m_dir.filePath("scene.json");
        QSaveFile f(scene);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(sceneJson());
        QVERIFY(f.commit());
        QVERIFY(m_vr.start({"--count", "1", "--model", "KXS-FM800", "--scene", scene}));
        const auto reader = m_vr.readers().value(0);
        connect(kit, &KxDeviceKit::barcodeReceived, this, [this](const QString &id, const QByteArray &d) {
            if (id == m_id)
                m_stream.append(d);
        });
        QVERIFY(kit->connectToDevice_Cmd(m_id, QStringLiteral("%1:%2").arg(reader.address).arg(reader.port)));
    }
    void cleanupTestCase() { kit->disconnectFromDeviceEx(m_id); }
    void init()
    {
        QVERIFY(!kPrefixCut.isEmpty());
        QVERIFY(set({{"NGRENA", "0"}, {"MLTCNT", "4"}, {"OUTMSG", "0"}, {"CADENA", "0"}, {"FOCPOS", "500"},
                     {"C28ENA", "1"}, {"QRCENA", "1"}, {"DFMENA", "0"}, {"SCNMOD", "0"},
                     {"E13ENA", "0"}, {"E13TCK", "1"}, {"C28LEN", "1|48"}}));
    }

    // The symbology pages' settings: a length range drops codes outside it, and leaving out the
    // check digit shortens the data.
    void symbologySettingsChangeWhatIsSent()
    {
        QVERIFY(set({{"E13ENA", "1"}}));
        QCOMPARE(trigger(), (QMap<QString, QByteArray>{{"002", kCode128}, {"032", kQr}, {"010", kEan}}));
        QVERIFY(set({{"C28LEN", "1|8"}, {"E13TCK", "0"}}));
        QCOMPARE(trigger(), (QMap<QString, QByteArray>{{"032", kQr}, {"010", kEan.left(12)}}));
        QVERIFY(set({{"C28LEN", "13|13"}}));
        QCOMPARE(trigger(), (QMap<QString, QByteArray>{{"002", kCode128}, {"032", kQr}, {"010", kEan.left(12)}}));
    }

    void formatsChangeResultFramesAsPreviewed_data()
    {
        QTest::addColumn<QByteArray>("mode");
        QTest::addColumn<bool>("code128Sent");
        QTest::newRow("on: other codes unchanged") << QByteArray("1") << true;
        QTest::newRow("strict: other codes dropped") << QByteArray("2") << false;
    }
    void formatsChangeResultFramesAsPreviewed()
    {
        QFETCH(QByteArray, mode);
        QFETCH(bool, code128Sent);
        const KxDataFormatRule rule{1, "032", KxDataFormatText::kAnyLength, kPrefixCut};
        const QByteArray value = KxDataFormatList::serialize({rule}).toUtf8();
        const KxDataFormatOutcome preview = KxDataFormatEngine::run(kPrefixCut, kQr, "032");
        QCOMPARE(preview.output, QByteArray("PRE-QR-01234]"));
        QVERIFY(set({{"DFMADD", value}, {"DFMENA", mode}}));
        // The reader reports the formats it uses as it was given them.
        QByteArray inUse;
        QCOMPARE(query("DFMQFA", &inUse), int(DataResult_Ack));
        QCOMPARE(inUse, value);
        QMap<QString, QByteArray> expected{{"032", preview.output}};
        if (code128Sent)
            expected.insert("002", kCode128);
        QCOMPARE(trigger(), expected);
        // Off again: the data as read.
        QVERIFY(set({{"DFMENA", "0"}}));
        QCOMPARE(trigger(), (QMap<QString, QByteArray>{{"002", kCode128}, {"032", kQr}}));
    }

    void discardingAndFailingRules()
    {
        // Code 128 is discarded; the QR rule fails (no "#" in the data), so QR goes out as read.
        const QList<KxDataFormatRule> rules = {{1, "002", KxDataFormatText::kAnyLength, encoded({{"B8", {}}})},
                                               {1, "032", KxDataFormatText::kAnyLength, encoded({{"F8", {"#"}}})}};
        QVERIFY(set({{"DFMADD", KxDataFormatList::serialize(rules).toUtf8()}, {"DFMENA", "1"}}));
        QCOMPARE(trigger(), (QMap<QString, QByteArray>{{"032", kQr}}));
        // Rules with a length that does not match leave the codes alone.
        const QList<KxDataFormatRule> wrongLength = {{1, "999", 5, encoded({{"B8", {}}})}};
        QVERIFY(set({{"DFMADD", KxDataFormatList::serialize(wrongLength).toUtf8()}}));
        QCOMPARE(trigger(), (QMap<QString, QByteArray>{{"002", kCode128}, {"032", kQr}}));
    }
};

QTEST_MAIN(TstDataFormatVReader)
#include "tst_dataformat_vreader.moc"
