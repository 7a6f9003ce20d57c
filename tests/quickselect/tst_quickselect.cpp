// A virtual reader whose settings keep it from reading its scene (symbologies off, focus far
// off, exposure black) reads every code again once the proposal for the scene's application
// is applied; only commands the reader has are proposed, and nothing that already fits.
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "QuickSelection.h"
#include "VcSceneSource.h"
#include "VrModel.h"
#include "VrReaderCamera.h"
#include "VrReaderEngine.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {
QByteArray req(const QByteArray &text)
{
    return KxMakeDataStreamCmd(text, DataProtocol_Settings);
}
}  // namespace

class TestQuickSelect : public QObject
{
    Q_OBJECT
    QSharedPointer<const VrCommandTable> m_table;
    VcSceneSource *m_scene = nullptr;

    std::unique_ptr<VrReaderEngine> engine()
    {
        VrIdentity id;
        id.model = "KXS-FM800";
        id.serial = "SN-QS-1";
        id.mac = VrModel::macFor(id.serial);
        id.ip = "127.0.0.2";
        auto e = std::make_unique<VrReaderEngine>(m_table, id, QString());
        e->loadState();
        e->setCamera(std::make_unique<VrReaderCamera>(m_scene, QSize(640, 480)));
        return e;
    }
    static int set(VrReaderEngine &e, const QString &code, const QByteArray &value)
    {
        QByteArray got;
        return KxGetDataStreamResult(e.handleFrame(req("#" + code.toLatin1() + value)).reply, code, got);
    }
    // The codes one trigger reads, by symbology code id.
    static QMultiMap<QString, QByteArray> read(VrReaderEngine &e)
    {
        QMultiMap<QString, QByteArray> out;
        for (const QByteArray &f : e.handleFrame(req("#SCNITG")).results) {
            const QJsonObject o = QJsonDocument::fromJson(f.mid(12)).object();
            if (o.value("result").toInt() != 1)
                continue;
            const QJsonObject c = o.value("list").toArray().at(0).toObject();
            out.insert(c.value("c_id").toString(), c.value("code").toString().toUtf8());
        }
        return out;
    }
    QuickSelection::Has has() const
    {
        return [t = m_table](const QString &code) { return t->find(code) != nullptr; };
    }

private slots:
    void initTestCase()
    {
        QString error;
        m_table = VrModel::loadTable(BREVAN_BIN_DIR "/models", "KXS-FM800", nullptr, &error);
        QVERIFY2(m_table, qPrintable(error));
        m_scene = new VcSceneSource(VcScenes::byKind(QStringLiteral("fixed-mount"), QSize(640, 480)), this);
    }

    void proposalMakesTheSceneRead_data()
    {
        QTest::addColumn<int>("distance");
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("label");
        QTest::newRow("near, still, paper") << int(QuickApplication::Near) << int(QuickApplication::Still) << int(QuickApplication::Paper);
        QTest::newRow("medium, slow, glossy") << int(QuickApplication::Medium) << int(QuickApplication::Slow) << int(QuickApplication::Glossy);
        QTest::newRow("far, fast, marked") << int(QuickApplication::Far) << int(QuickApplication::Fast) << int(QuickApplication::Marked);
    }
    void proposalMakesTheSceneRead()
    {
        QFETCH(int, distance);
        QFETCH(int, speed);
        QFETCH(int, label);
        auto e = engine();
        QCOMPARE(set(*e, "MLTCNT", "8"), 6);
        const QMultiMap<QString, QByteArray> scene = read(*e);
        QVERIFY(!scene.isEmpty());
        // The application: the symbologies of the scene's codes.
        QuickApplication app;
        for (const QString &id : scene.uniqueKeys()) {
            // Code ids of the symbology table, as the reader reports them.
            static const QHash<QString, QString> names = {{"002", "Code 128"}, {"004", "Code 39"}, {"010", "EAN-13"},
                                                          {"008", "Interleaved 2 of 5"}, {"032", "QR Code"},
                                                          {"033", "Data Matrix"}, {"034", "PDF417"}, {"036", "Aztec"}};
            QVERIFY2(names.contains(id), qPrintable(id));
            app.symbologies << names.value(id);
        }
        app.distance = QuickApplication::Distance(distance);
        app.speed = QuickApplication::Speed(speed);
        app.label = QuickApplication::Label(label);
        // Settings that read nothing.
        for (const auto &s : QuickSelection::symbologySwitches())
            if (m_table->find(s.second))
                QCOMPARE(set(*e, s.second, "0"), 6);
        for (const char *c : {"MLTCNT1", "FOCPOS1000", "EXPMOD1", "EXPFET10", "DECMSR40|50"})
            QCOMPARE(set(*e, QString::fromLatin1(c).left(6), QByteArray(c).mid(6)), 6);
        QVERIFY(read(*e).isEmpty());

        const auto value = [&e](const QString &code) { return e->runningValue(code); };
        const QVector<QuickChange> changes = QuickSelection::propose(app, has(), value);
        for (const QuickChange &c : changes) {
            QVERIFY2(m_table->find(c.code), qPrintable(c.code));
            QVERIFY(!c.reasonKey.isEmpty());
            QCOMPARE(set(*e, c.code, c.proposed), 6);
        }
        QCOMPARE(read(*e), scene);
        // Applied, nothing is left to propose but the focus search, a button.
        const QVector<QuickChange> again = QuickSelection::propose(app, has(), value);
        QCOMPARE(again.size(), 1);
        QCOMPARE(again[0].code, QString("FOCAUT"));
    }

    void onlyCommandsTheReaderHas()
    {
        QuickApplication app;
        app.symbologies = QStringList{QStringLiteral("QR Code")};
        const QStringList present = {"QRCENA", "C28ENA", "FOCPOS"};
        const auto has = [&](const QString &c) { return present.contains(c); };
        // Every value reads "2": the chosen switch keeps its variant, the other goes off.
        QVector<QuickChange> changes = QuickSelection::propose(app, has, [](const QString &) { return QByteArray("2"); });
        QStringList codes;
        for (const QuickChange &c : changes)
            codes << c.code + "=" + c.proposed;
        QCOMPARE(codes, QStringList({"C28ENA=0", "FOCPOS=300"}));
        changes = QuickSelection::propose(app, has, [](const QString &) { return QByteArray("0"); });
        QCOMPARE(changes.size(), 2);
        QCOMPARE(changes[0].code + "=" + changes[0].proposed, QString("QRCENA=1"));
        QCOMPARE(QuickSelection::switchable(has), QStringList({"Code 128", "QR Code"}));
    }
};

QTEST_GUILESS_MAIN(TestQuickSelect)
#include "tst_quickselect.moc"
