// The special controls on the edit frame's reader-bound pages against the real virtual reader:
// the symbology list's rows hold the reader's values and its clicks change what the reader
// reads; the data format control reads the rules in use and its editor's rule reaches the
// result frames exactly as previewed; the script editor lists the reader's functions and its
// script rewrites the results; a configuration file carries formats and script to a second
// reader.
#include "AdvancedSettingsWidget.h"
#include "BCodePropertyWidget.h"
#include "CameraTestUtil.h"
#include "DataFormatDialogs.h"
#include "EditDeviceContext.h"
#include "Kx1D2DEdit.h"
#include "KxConfigFileIO.h"
#include "KxDataFormatControl.h"
#include "KxDataStreamMaker.h"
#include "KxI18nUtil.h"
#include "KxScriptControls.h"
#include "KxScriptedUiBackend.h"
#include "KxSpecialControls.h"
#include "KxStandardControls.h"
#include "VReaderSession.h"

#include <QCheckBox>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace VReaderSession;

namespace {

const QByteArray kQr = "QR-0123456789";
const QByteArray kCode128 = "C128-ABCDEFGH";

QByteArray sceneJson()
{
    return QStringLiteral(R"({"sensor":[960,600],"background":0.5,"codes":[
 {"symbology":"Code 128","text":"%1","x":260,"y":300,"module":2,"height":80},
 {"symbology":"QR Code","text":"%2","x":720,"y":300,"module":4}]})")
        .arg(QString::fromLatin1(kCode128), QString::fromLatin1(kQr))
        .toUtf8();
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TstSpecialReader : public QObject
{
    Q_OBJECT
    VReaderProcess m_vr;
    QTemporaryDir m_dir;
    std::unique_ptr<KxDeviceConnector> m_a;
    std::unique_ptr<KxDeviceConnector> m_b;
    ResultStream m_stream;
    KxScriptedUiBackend m_ui;
    QString m_watched;

    // Stored changes straight to the reader, as another client would make them.
    bool store(KxDeviceConnector *c, const QVector<QPair<QString, QByteArray>> &values)
    {
        QVector<ChangedCmdInfo> changes;
        for (const auto &v : values) {
            ChangedCmdInfo info;
            info.code = v.first;
            info.value = v.second;
            changes << info;
        }
        QStringList failed;
        return c->command()->saveCmds(changes, true, failed) && failed.isEmpty();
    }

    // One trigger of a reader (the first one unless given): code id -> data of every code read.
    QMap<QString, QByteArray> trigger(KxDeviceConnector *c = nullptr)
    {
        c = c ? c : m_a.get();
        m_watched = c->deviceId();
        m_stream.clear();
        QByteArray reply;
        if (!c->sendMessage(KxMakeDataStreamCmd("#SCNITG", DataProtocol_Settings, true), reply))
            return {};
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

    // A reader's page file (the first reader's unless given) on a reader-bound property widget,
    // the page built.
    std::unique_ptr<BCodePropertyWidget> pageOf(const QString &file, const QString &pageId,
                                                KxDeviceConnector *c = nullptr)
    {
        c = c ? c : m_a.get();
        auto w = std::make_unique<BCodePropertyWidget>();
        w->setDevice(c);
        w->setPages(EditDeviceContext::loadPage(EditDeviceContext::modelDir(c), file));
        w->resize(1000, 700);
        w->show();
        if (!w->setCurrentPage(pageId) && w->currentPageId() != pageId)
            return nullptr;
        return w;
    }

private slots:
    void initTestCase()
    {
        KxStandardControls::registerAll();
        KxSpecialControls::registerAll();
        KxI18nUtil::instance()->loadMain(BREVAN_BIN_DIR "/models/resources", "en");
        const QString scene = m_dir.filePath("scene.json");
        QSaveFile f(scene);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(sceneJson());
        QVERIFY(f.commit());
        QVERIFY2(m_vr.start({"--count", "2", "--model", "KXS-FM800", "--scene", scene}), m_vr.errorOutput().constData());
        QCOMPARE(m_vr.readers().size(), 2);
        QString why;
        m_a = login(m_vr.readers()[0], &why);
        QVERIFY2(m_a, qPrintable(why));
        m_b = login(m_vr.readers()[1], &why);
        QVERIFY2(m_b, qPrintable(why));
        connect(KxDeviceKit::Instance(), &KxDeviceKit::barcodeReceived, this,
                [this](const QString &id, const QByteArray &d) {
                    if (id == m_watched)
                        m_stream.append(d);
                });
        QVERIFY(store(m_a.get(), {{"NGRENA", "0"}, {"MLTCNT", "4"}, {"OUTMSG", "0"}, {"CADENA", "0"},
                                  {"SCNMOD", "0"}, {"C28ENA", "1"}, {"QRCENA", "1"}, {"DFMENA", "0"},
                                  {"SCRENA", "0"}}));
        QCOMPARE(trigger(), (QMap<QString, QByteArray>{{"002", kCode128}, {"032", kQr}}));
    }

    // The list's rows come from the reader's own page file with its values; a click on a row
    // becomes the reader's setting, and the reader stops or starts reading that symbology.
    void symbologyRowsDriveTheReader()
    {
        // The page holds no reader command itself, yet the navigation offers it.
        AdvancedSettingsWidget adv;
        QVERIFY(adv.openDevice(QPointer<KxDeviceConnector>(m_a.get()), QVariant()));
        ToolButtonEx *nav = adv.navButton("Id_Nav_Barcode");
        QVERIFY(nav);
        nav->click();
        CommandPropertyWidget *w = adv.currentPage();
        QVERIFY(w && adv.currentPropertyId() == "Barcode.xml");
        auto *list = qobject_cast<Kx1D2DEdit *>(w->control("Sym2D"));
        QVERIFY(list);
        KxCodeItem *qr = list->settings()->row("QRCENA");
        QVERIFY(qr);
        QVERIFY(qr->enableBox()->isChecked());
        QVERIFY(list->settings()->rows().size() > 3);
        // As built the list holds no edit of the user's.
        QVERIFY(!list->isModified());
        qr->enableBox()->click();
        QTRY_COMPARE_WITH_TIMEOUT(readerValue(m_a.get(), "QRCENA"), QByteArray("0"), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(w->pendingSends(), 0, 30000);
        QCOMPARE(trigger(), (QMap<QString, QByteArray>{{"002", kCode128}}));
        // A change made elsewhere shows in the row.
        QVERIFY(store(m_a.get(), {{"QRCENA", "1"}}));
        w->refreshValues({"QRCENA"});
        QVERIFY(qr->enableBox()->isChecked());

        // A length range set in the symbology's popup drops the longer Code 128.
        auto *c128 = qobject_cast<Kx1D2DEdit *>(w->control("Sym1D"));
        QVERIFY(c128);
        KxCodeItem *row = c128->settings()->row("C28ENA");
        QVERIFY(row);
        KxCodePopupWidget *popup = c128->settings()->openPopup(row, QPoint(20, 20));
        KxControlBase *len = popup->propertyWidget()->control("C28LEN");
        QVERIFY(len);
        len->setValue(QStringLiteral("1|8"));
        popup->close();
        QTRY_COMPARE_WITH_TIMEOUT(readerValue(m_a.get(), "C28LEN"), QByteArray("1|8"), 30000);
        QCOMPARE(trigger(), (QMap<QString, QByteArray>{{"032", kQr}}));
        QVERIFY(store(m_a.get(), {{"C28LEN", "1|48"}}));
    }

    // The control shows the rules the reader uses; a rule built in the editor goes to the reader
    // and the result frames carry what the editor's preview showed.
    void dataFormatEditorReachesTheResults()
    {
        const KxDataFormatRule old{2, "002", KxDataFormatText::kAnyLength, "F1!"};
        QVERIFY(store(m_a.get(), {{"DFMENA", "1"}, {"DFMADD", KxDataFormatList::serialize({old}).toUtf8()}}));
        // The page was read at login; the control asks the reader when it is built.
        m_a->command()->syncSettings(false);
        auto w = pageOf("Output.xml", "Page Data Output");
        QVERIFY(w);
        auto *control = qobject_cast<KxDataFormat *>(w->control("DFMADD"));
        QVERIFY(control);
        QTRY_VERIFY_WITH_TIMEOUT(!control->isReading(), 30000);
        QCOMPARE(control->value().toString(), KxDataFormatList::serialize({old}));

        DataFormatListDlg *list = control->openEditor();
        QVERIFY(list);
        QCOMPARE(list->rules().size(), 1);
        list->remove(0);
        DataFormatEditDlg *edit = list->edit(-1);
        QVERIFY(edit);
        edit->selectCommand("B9");
        QVERIFY(edit->addCommand({"PRE-"}));
        edit->selectCommand("F2");
        QVERIFY(edit->addCommand({"8", "]"}));
        edit->setSample(QString::fromLatin1(kQr));
        const QString preview = edit->previewText();
        QVERIFY2(preview.endsWith("PRE-QR-01234]"), qPrintable(preview));
        edit->accept();
        QCOMPARE(list->rules().size(), 1);
        list->accept();
        const QByteArray sent = KxDataFormatList::serialize(list->rules()).toUtf8();
        QTRY_COMPARE_WITH_TIMEOUT(readerValue(m_a.get(), "DFMQFA"), sent, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(w->pendingSends(), 0, 30000);
        // A new rule is for every symbology until the user picks one.
        QCOMPARE(trigger(), (QMap<QString, QByteArray>{{"002", "PRE-C128-ABC]"}, {"032", "PRE-QR-01234]"}}));
        QVERIFY(store(m_a.get(), {{"DFMENA", "0"}}));
    }

    // The script editor lists what the reader offers, and its script rewrites the results.
    void scriptEditorReachesTheResults()
    {
        QVERIFY(store(m_a.get(), {{"SCRENA", "1"}}));
        m_a->command()->syncSettings(false);
        auto w = pageOf("Output.xml", "Page Data Output");
        QVERIFY(w);
        auto *js = qobject_cast<KxScriptControl *>(w->control("SCRADD"));
        QVERIFY(js);
        const QStringList offered = QString::fromUtf8(readerValue(m_a.get(), "SCRQFN")).split('|');
        QVERIFY(offered.contains("setOutput"));
        QTRY_COMPARE_WITH_TIMEOUT(js->assistance()->readerFunctions(), offered, 30000);

        js->setScript("if (getSymbology() == '032') setOutput('JS:' + getData().substring(3));");
        QCOMPARE(js->checkText(), QStringLiteral("OK"));
        QTRY_COMPARE_WITH_TIMEOUT(readerValue(m_a.get(), "SCRADD"), js->value().toString().toUtf8(), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(w->pendingSends(), 0, 30000);
        QCOMPARE(trigger(), (QMap<QString, QByteArray>{{"002", kCode128}, {"032", "JS:0123456789"}}));

        // A script that does not compile is shown with its line and never reaches the reader.
        const QByteArray before = readerValue(m_a.get(), "SCRADD");
        js->setScript("var a = 1;\nif (a {\n}");
        QVERIFY2(js->checkText().startsWith("ERROR") && js->checkText().contains("2"), qPrintable(js->checkText()));
        QTest::qWait(1500);
        QCOMPARE(w->pendingSends(), 0);
        QCOMPARE(readerValue(m_a.get(), "SCRADD"), before);
        QVERIFY(store(m_a.get(), {{"SCRENA", "0"}}));
    }

    // A Lua script tested in the editor on a sample gives the reader's output for that code.
    void luaScriptTestedLocallyMatchesTheReader()
    {
        VReaderProcess lua;
        QVERIFY2(lua.start({"--count", "1", "--model", "KXS-HS120", "--scene", m_dir.filePath("scene.json")}),
                 lua.errorOutput().constData());
        QString why;
        auto c = login(lua.readers().value(0), &why);
        QVERIFY2(c, qPrintable(why));
        QVERIFY(store(c.get(), {{"NGRENA", "0"}, {"SCNMOD", "0"}, {"LUAENA", "1"},
                                {"C28ENA", "0"}, {"QRCENA", "1"}}));  // it reads one code at a time
        c->command()->syncSettings(false);
        auto w = pageOf("Output.xml", "Page Data Output", c.get());
        QVERIFY(w);
        auto *editor = qobject_cast<KxScriptControl *>(w->control("LUAADD"));
        QVERIFY(editor);
        QTRY_COMPARE_WITH_TIMEOUT(editor->assistance()->readerFunctions(),
                                  QString::fromUtf8(readerValue(c.get(), "LUAQAS")).split('|'), 30000);
        editor->setScript("if getSymbology() == '032' then setOutput('LOT ' .. getData():sub(4, 8)) end");
        editor->setSample(QString::fromLatin1(kQr));
        editor->runTest();
        QVERIFY2(editor->testOutput().endsWith(": LOT 01234"), qPrintable(editor->testOutput()));
        QTRY_COMPARE_WITH_TIMEOUT(readerValue(c.get(), "LUAQRY"), editor->value().toString().toUtf8(), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(w->pendingSends(), 0, 30000);
        QCOMPARE(trigger(c.get()), (QMap<QString, QByteArray>{{"032", "LOT 01234"}}));
    }

    // Formats and a script travel in a configuration file; the second reader exports the same
    // file. A file that holds only the stored formats ("DFMQCU") imports them as formats.
    void formatsAndScriptsTravelInFiles()
    {
        const QList<KxDataFormatRule> rules = {{1, "032", KxDataFormatText::kAnyLength, "F1!"},
                                               {3, "999", 13, "B9" "0002" "ab"}};
        const QByteArray formats = KxDataFormatList::serialize(rules).toUtf8();
        const QByteArray script = KxScriptValue::encode("setOutput(getData() + '#');").toUtf8();
        QVERIFY(store(m_a.get(), {{"DFMENA", "1"}, {"DFMADD", formats}, {"SCRENA", "1"}, {"SCRADD", script}}));
        const QString fileA = m_dir.filePath("a.xml");
        const QString fileB = m_dir.filePath("b.xml");
        QString error;
        QVERIFY2(KxConfigFileIO::exportToFile(m_a.get(), fileA, &error), qPrintable(error));
        const KxConfigFileIO::ImportResult r = KxConfigFileIO::importFile(m_b.get(), fileA);
        QCOMPARE(r.value("FailCmdsCnt"), QString("0"));
        QCOMPARE(r.value("result"), QString("1"));
        QCOMPARE(readerValue(m_b.get(), "DFMQCU"), formats);
        QCOMPARE(readerValue(m_b.get(), "SCRADD"), script);
        QVERIFY(KxConfigFileIO::exportToFile(m_b.get(), fileB, &error));
        QCOMPARE(fileBytes(fileB), fileBytes(fileA));

        const QString stored = m_dir.filePath("stored.xml");
        const QByteArray other = KxDataFormatList::serialize({{4, "002", 13, "E901"}}).toUtf8();
        QVERIFY(KxConfigFile::writeFile(stored, KxConfigFile::toXml(m_vr.readers()[1].model,
                                                                    {{"DFMQCU", QString::fromUtf8(other)}})));
        const KxConfigFileIO::ImportResult s = KxConfigFileIO::importFile(m_b.get(), stored);
        QCOMPARE(s.value("FailCmds"), QString());
        QCOMPARE(s.value("result"), QString("1"));
        QCOMPARE(readerValue(m_b.get(), "DFMQFA"), other);
        QVERIFY(store(m_a.get(), {{"DFMENA", "0"}, {"SCRENA", "0"}}));
    }
};

QTEST_MAIN(TstSpecialReader)
#include "tst_specialreader.moc"
