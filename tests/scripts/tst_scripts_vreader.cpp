// The virtual reader runs user scripts on its results: the real program on loopback, driven
// through the kit. JavaScript on one model, Lua on another; a script that does not end or
// reaches for a file is stopped, the code goes out as read, and the reader keeps reading.
#include "CameraTestUtil.h"
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDeviceKit.h"
#include "KxScript.h"
#include "VReaderProcess.h"

#include <QSaveFile>
#include <QtTest>

namespace {

const QByteArray kQr = "QR-0123456789";

QByteArray sceneJson()
{
    return QStringLiteral(R"({"sensor":[640,400],"background":0.5,"codes":[
 {"symbology":"QR Code","text":"%1","x":320,"y":200,"module":4}]})")
        .arg(QString::fromLatin1(kQr))
        .toUtf8();
}

}  // namespace

class TstScriptsVReader : public QObject
{
    Q_OBJECT
private:
    KxDeviceKit *kit = KxDeviceKit::Instance();
    VReaderProcess m_js;   // a model with a JavaScript setting
    VReaderProcess m_lua;  // a model with a Lua setting
    QTemporaryDir m_dir;
    QMap<QString, ResultStream> m_streams;

    bool set(const QString &id, const QList<QPair<QString, QByteArray>> &items)
    {
        for (const auto &item : items) {
            QByteArray reply, value;
            if (kit->sendBinaryMessage(id, KxMakeBinarySettingsRequest({{item.first, item.second}}, false), reply, 30000) != 0
                || KxGetDataStreamResult(reply, item.first, value) != DataResult_Ack)
                return false;
        }
        return true;
    }
    QByteArray query(const QString &id, const QByteArray &code)
    {
        QByteArray reply, value;
        if (kit->sendBinaryMessage(id, KxMakeDataStreamCmd("@" + code, DataProtocol_Settings, true), reply, 30000) != 0)
            return "<not sent>";
        KxGetDataStreamResult(reply, QString::fromLatin1(code), value);
        return value;
    }
    // The data of the read's codes.
    QList<QByteArray> trigger(const QString &id)
    {
        ResultStream &stream = m_streams[id];
        stream.clear();
        QByteArray reply;
        if (kit->sendBinaryMessage(id, KxMakeDataStreamCmd("#SCNITG", DataProtocol_Settings, true), reply, 30000) != 0)
            return {};
        QElapsedTimer t;
        t.start();
        while (!stream.readDone() && t.elapsed() < 30000)
            QTest::qWait(20);
        QList<QByteArray> out;
        for (const CameraResult &r : stream.results())
            out << (r.noRead ? QByteArray("<no read>") : r.data);
        return out;
    }
    bool connectTo(VReaderProcess &vr, const QString &model, const QString &id, const QString &scene)
    {
        if (!vr.start({"--count", "1", "--model", model, "--scene", scene}))
            return false;
        const auto reader = vr.readers().value(0);
        return kit->connectToDevice_Cmd(id, QStringLiteral("%1:%2").arg(reader.address).arg(reader.port));
    }

private slots:
    void initTestCase()
    {
        const QString scene = m_dir.filePath("scene.json");
        QSaveFile f(scene);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(sceneJson());
        QVERIFY(f.commit());
        connect(kit, &KxDeviceKit::barcodeReceived, this, [this](const QString &id, const QByteArray &d) {
            if (m_streams.contains(id))
                m_streams[id].append(d);
        });
        m_streams.insert("js", ResultStream());
        m_streams.insert("lua", ResultStream());
        QVERIFY(connectTo(m_js, "KXS-FM800", "js", scene));
        QVERIFY(connectTo(m_lua, "KXS-HS120", "lua", scene));
        for (const QString id : {"js", "lua"})
            QVERIFY(set(id, {{"NGRENA", "0"}, {"QRCENA", "1"}, {"SCNMOD", "0"}}));
        QVERIFY(set("js", {{"OUTMSG", "0"}, {"CADENA", "0"}}));
    }
    void cleanupTestCase()
    {
        kit->disconnectFromDeviceEx("js");
        kit->disconnectFromDeviceEx("lua");
    }

    void scriptsRewriteResultFrames_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("enable");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("script");
        QTest::newRow("JavaScript") << "js" << "SCRENA" << "SCRADD"
                                    << "setOutput('JS:' + getData().substring(3) + ':' + getLength());";
        QTest::newRow("Lua") << "lua" << "LUAENA" << "LUAADD"
                             << "setOutput('JS:' .. getData():sub(4) .. ':' .. getLength())";
    }
    void scriptsRewriteResultFrames()
    {
        QFETCH(QString, id);
        QFETCH(QString, enable);
        QFETCH(QString, code);
        QFETCH(QString, script);
        QCOMPARE(trigger(id), QList<QByteArray>{kQr});
        QVERIFY(set(id, {{code, KxScriptValue::encode(script).toLatin1()}, {enable, "1"}}));
        QCOMPARE(trigger(id), QList<QByteArray>{"JS:0123456789:13"});
        QVERIFY(set(id, {{enable, "0"}}));
        QCOMPARE(trigger(id), QList<QByteArray>{kQr});
    }

    void runawayScriptsAreStopped_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("enable");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("script");
        QTest::newRow("JavaScript endless loop") << "js" << "SCRENA" << "SCRADD" << "setOutput('x');\nwhile (true) {}";
        QTest::newRow("Lua endless loop") << "lua" << "LUAENA" << "LUAADD" << "setOutput('x')\nwhile true do end";
        QTest::newRow("Lua opens a file") << "lua" << "LUAENA" << "LUAADD"
                                          << "setOutput(io.open('/etc/hostname'):read('a'))";
    }
    void runawayScriptsAreStopped()
    {
        QFETCH(QString, id);
        QFETCH(QString, enable);
        QFETCH(QString, code);
        QFETCH(QString, script);
        QVERIFY(set(id, {{code, KxScriptValue::encode(script).toLatin1()}, {enable, "1"}}));
        // Each read still delivers the code as read, so the reader keeps reading.
        for (int i = 0; i < 2; ++i)
            QCOMPARE(trigger(id), QList<QByteArray>{kQr});
        QVERIFY(set(id, {{enable, "0"}}));
    }

    void readerListsItsFunctions()
    {
        const QByteArray expected = KxScriptRunner::apiFunctions().join('|').toUtf8();
        QCOMPARE(query("js", "SCRQAA"), expected);
        QCOMPARE(query("lua", "LUAQAA"), expected);
        const QByteArray value = KxScriptValue::encode("log('x')").toLatin1();
        QVERIFY(set("lua", {{"LUAADD", value}}));
        QCOMPARE(query("lua", "LUAQRY"), value);
    }
};

QTEST_MAIN(TstScriptsVReader)
#include "tst_scripts_vreader.moc"
