// The grading report against a virtual reader's own result frames: every grade the report and
// its window show is the one the frame carried, read by the client's parser; the trend follows
// the reads and the PDF is written.
#include "BarcodeParse.h"
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxI18nUtil.h"
#include "QualityDlg.h"
#include "VcSceneSource.h"
#include "VrModel.h"
#include "VrReaderCamera.h"
#include "VrReaderEngine.h"
#include "VReaderSession.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtCharts/QLineSeries>
#include <QtTest>

namespace {
QByteArray req(const QByteArray &text)
{
    return KxMakeDataStreamCmd(text, DataProtocol_Settings);
}

// What a JSON result frame says, read straight from its bytes.
struct FrameGrades
{
    QByteArray code;
    QString standard;  // "ISO15416" ...
    QMap<QString, int> grades;
};

bool frameGrades(const QByteArray &frame, FrameGrades *out)
{
    if (!frame.startsWith("KESTOR") || frame.size() < 12)
        return false;
    const QJsonObject o = QJsonDocument::fromJson(frame.mid(12)).object();
    const QJsonObject q = o.value("CodeQualitySt").toObject();
    if (q.isEmpty() || o.value("result").toInt() != 1)
        return false;
    out->code = o.value("list").toArray().at(0).toObject().value("code").toString().toUtf8();
    out->standard = q.keys().first();
    const QJsonObject g = q.value(out->standard).toObject();
    for (auto it = g.begin(); it != g.end(); ++it)
        out->grades.insert(it.key(), it.value().toInt());
    return true;
}
}  // namespace

class TestQuality : public QObject
{
    Q_OBJECT
    QSharedPointer<const VrCommandTable> m_table;
    VcSceneSource *m_scene = nullptr;

    std::unique_ptr<VrReaderEngine> engine()
    {
        VrIdentity id;
        id.model = "KXS-FM800";
        id.serial = "SN-Q-1";
        id.mac = VrModel::macFor(id.serial);
        id.ip = "127.0.0.2";
        auto e = std::make_unique<VrReaderEngine>(m_table, id, QString());
        e->loadState();
        e->setCamera(std::make_unique<VrReaderCamera>(m_scene, QSize(640, 480)));
        return e;
    }
    static int set(VrReaderEngine &e, const QByteArray &text)
    {
        QByteArray value;
        return KxGetDataStreamResult(e.handleFrame(req(text)).reply, QString::fromLatin1(text.mid(1, 6)), value);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(KxI18nUtil::instance()->loadMain(BREVAN_BIN_DIR "/models/resources", "en"));
        QString error;
        m_table = VrModel::loadTable(BREVAN_BIN_DIR "/models", "KXS-FM800", nullptr, &error);
        QVERIFY2(m_table, qPrintable(error));
        m_scene = new VcSceneSource(VcScenes::byKind(QStringLiteral("fixed-mount"), QSize(640, 480)), this);
    }

    void reportShowsTheGradesOfTheFrames_data()
    {
        QTest::addColumn<QByteArray>("grading");
        QTest::addColumn<QString>("standard2d");
        QTest::newRow("ISO 15415") << QByteArray("1") << QString("ISO15415");
        QTest::newRow("ISO 29158") << QByteArray("2") << QString("ISO29158");
    }
    void reportShowsTheGradesOfTheFrames()
    {
        QFETCH(QByteArray, grading);
        QFETCH(QString, standard2d);
        auto e = engine();
        QCOMPARE(set(*e, "#INCCQP" + grading), 6);
        QCOMPARE(set(*e, "#MLTCNT8"), 6);
        BarcodeParse parse;
        QualityDlg dlg(nullptr);
        QList<FrameGrades> sent;
        // Exposure changes between reads, so grades change and the trend has something to show.
        for (const QByteArray exposure : {"#EXPFET400", "#EXPFET120", "#EXPFET60", "#EXPFET400"}) {
            QCOMPARE(set(*e, exposure), 6);
            for (const QByteArray &f : e->handleFrame(req("#SCNITG")).results) {
                FrameGrades g;
                if (frameGrades(f, &g))
                    sent << g;
                parse.parseFrame(f);
            }
            dlg.addResults(parse.takeBarcodes());
        }
        QVERIFY2(sent.size() >= 4, qPrintable(QString::number(sent.size())));
        // Every graded frame is one read of its code, in order, with the frame's grades.
        QHash<QByteArray, int> index;
        int total = 0;
        for (const QualityCode &c : dlg.report().codes())
            total += c.reads.size();
        QCOMPARE(total, sent.size());
        bool saw2d = false;
        for (const FrameGrades &g : sent) {
            saw2d |= g.standard == standard2d;
            const auto code = std::find_if(dlg.report().codes().begin(), dlg.report().codes().end(),
                                           [&](const QualityCode &c) { return c.data == g.code; });
            QVERIFY2(code != dlg.report().codes().end(), g.code.constData());
            const QualityRead &read = code->reads.at(index[g.code]++);
            QCOMPARE(QString(read.standard).remove(' '), g.standard);
            QCOMPARE(read.grades.size(), g.grades.size());
            for (const QualityGrade &q : read.grades) {
                QVERIFY(q.name.startsWith("BQ" + g.standard.mid(3) + "_" + q.key));
                QCOMPARE(q.grade, g.grades.value(q.key, -2));
            }
        }
        QVERIFY(saw2d);
        // The window: one row per code with its latest overall grade; the chosen code's
        // parameters with names and its trend, one point per read.
        QTableWidget *codes = dlg.codesTable();
        QCOMPARE(codes->rowCount(), dlg.report().codes().size());
        for (int r = 0; r < codes->rowCount(); ++r) {
            const QualityCode &c = dlg.report().codes()[r];
            QCOMPARE(codes->item(r, 1)->text().toUtf8(), c.data);
            QCOMPARE(codes->item(r, 3)->text(), QualityReport::letter(c.reads.last().overall()));
            codes->setCurrentCell(r, 0);
            QCOMPARE(dlg.gradesTable()->rowCount(), c.reads.last().grades.size());
            QCOMPARE(dlg.gradesTable()->item(0, 1)->text(), QString("Overall grade"));
            QCOMPARE(dlg.trend()->count(), c.reads.size());
            for (int i = 0; i < c.reads.size(); ++i)
                QCOMPARE(int(dlg.trend()->at(i).y()), qMax(0, c.reads[i].overall()));
        }
        QTemporaryDir dir;
        const QString pdf = dir.filePath("report.pdf");
        QVERIFY(dlg.exportPdf(pdf));
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.read(5) == "%PDF-");
    }

    // The window fed live by a logged-in reader's result stream.
    void windowFollowsTheReadersResults()
    {
        VReaderProcess vr;
        QVERIFY2(vr.start({"--model", "KXS-FM800"}), vr.errorOutput().constData());
        QString why;
        std::unique_ptr<KxDeviceConnector> c = VReaderSession::login(vr, &why);
        QVERIFY2(c, qPrintable(why));
        QByteArray v;
        QCOMPARE(c->queryCommand(1, "#INCCQP", v, "2"), 6);
        QualityDlg dlg(c.get());
        QSignalSpy spy(c.get(), &KxDeviceConnector::batBarcodeReceived);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(c->queryCommand(1, "#SCNITG", v), 6);
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.report().codes().isEmpty() && dlg.report().codes()[0].reads.size() == 3, 30000);
        QList<STRUCT_BARCODE_INFO> seen;
        for (const QList<QVariant> &args : spy)
            seen += args.at(0).value<QList<STRUCT_BARCODE_INFO>>();
        const QualityCode &code = dlg.report().codes()[0];
        int i = 0;
        for (const STRUCT_BARCODE_INFO &b : seen) {
            if (b.data != code.data || !b.hasGrading)
                continue;
            QualityRead r;
            QVERIFY(QualityReport::gradesOf(b, &r));
            QCOMPARE(code.reads.at(i).standard, r.standard);
            for (int k = 0; k < r.grades.size(); ++k)
                QCOMPARE(code.reads.at(i).grades.at(k).grade, r.grades.at(k).grade);
            ++i;
        }
        QCOMPARE(i, 3);
        QCOMPARE(dlg.codesTable()->rowCount(), dlg.report().codes().size());
    }

    void ungradedResultsAreLeftOut()
    {
        auto e = engine();
        QCOMPARE(set(*e, "#INCCQP0"), 6);
        BarcodeParse parse;
        for (const QByteArray &f : e->handleFrame(req("#SCNITG")).results)
            parse.parseFrame(f);
        const QList<STRUCT_BARCODE_INFO> batch = parse.takeBarcodes();
        QVERIFY(!batch.isEmpty());
        QualityReport report;
        QCOMPARE(report.add(batch), 0);
        QVERIFY(report.codes().isEmpty());
        QString error;
        QVERIFY(!report.writePdf("/nonexistent-dir/x.pdf", "t", "r", {}, &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_MAIN(TestQuality)
#include "tst_quality.moc"
