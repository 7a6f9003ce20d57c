// The output panels: rows from records, the row bound, copy of the visible columns, the column
// choice kept per panel, and export to a real workbook (read back from its zip) or to text.
#include "KxConfig.h"
#include "KxI18nUtil.h"
#include "KxStyledButtons.h"
#include "KxScriptedUiBackend.h"
#include "KxSettings.h"
#include "ResultOutputNetWidget.h"
#include "ResultOutputTableViewModel.h"
#include "ResultOutputTestExWidget.h"
#include "ResultOutputTestWidget.h"
#include "ResultOutputWidget.h"
#include "LazyPlainTextEdit.h"
#include "SetResultOutputFieldDlg.h"

#include <KZip>

#include <QCheckBox>
#include <QClipboard>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

class TstOutput : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void resultRows();
    void testRows_data();
    void testRows();
    void rowBound();
    void copyVisibleColumns();
    void columnChoicePerPanel();
    void exportWorkbook();
    void exportText_data();
    void exportText();
    void exportFailureKeepsRows();
    void textPanel();

private:
    QTemporaryDir m_data;
    std::unique_ptr<KxScriptedUiBackend> m_ui;
};

namespace {
STRUCT_BARCODE_INFO barcode(const QByteArray &data, int n = 0)
{
    STRUCT_BARCODE_INFO b;
    b.data = data;
    b.length = data.size();
    b.symbology = QStringLiteral("QR Code");
    b.ppm = QStringLiteral("4.00");
    b.ip = QStringLiteral("127.0.0.%1").arg(2 + n);
    b.mac = QStringLiteral("02:00:00:00:00:0%1").arg(n);
    b.sn = QStringLiteral("SN%1").arg(n);
    b.quality = QStringLiteral("A");
    b.decodeTimeText = QStringLiteral("12.50");
    b.cfgLibId = QStringLiteral("0");
    b.ai = n;
    b.valid = true;
    return b;
}

QList<STRUCT_BARCODE_INFO> barcodes(int count, int first = 0)
{
    QList<STRUCT_BARCODE_INFO> out;
    for (int i = first; i < first + count; ++i)
        out.append(barcode("CODE-" + QByteArray::number(i), i % 10));
    return out;
}

// The texts of the shared strings and the number of rows of the first sheet of an .xlsx file.
bool readWorkbook(const QString &path, QStringList *strings, int *rows)
{
    KZip zip(path);
    if (!zip.open(QIODevice::ReadOnly))
        return false;
    const KArchiveDirectory *root = zip.directory();
    const auto *sheet = dynamic_cast<const KArchiveFile *>(root->entry(QStringLiteral("xl/worksheets/sheet1.xml")));
    const auto *shared = dynamic_cast<const KArchiveFile *>(root->entry(QStringLiteral("xl/sharedStrings.xml")));
    if (!sheet || !shared)
        return false;
    *rows = QString::fromUtf8(sheet->data()).count(QStringLiteral("<row "));
    const QString xml = QString::fromUtf8(shared->data());
    QRegularExpression re(QStringLiteral("<t[^>]*>([^<]*)</t>"));
    for (auto it = re.globalMatch(xml); it.hasNext();)
        strings->append(it.next().captured(1));
    return true;
}
}  // namespace

void TstOutput::initTestCase()
{
    QVERIFY(m_data.isValid());
    KxConfig::instance()->setDataDir(m_data.path());
    kxRegisterResultTypes();
}

void TstOutput::init()
{
    m_ui.reset();
    m_ui = std::make_unique<KxScriptedUiBackend>();
    KxSettings::instance()->setValue(QStringLiteral("output"), QStringLiteral("NetOutputHead"), QStringList());
    KxSettings::instance()->setValue(QStringLiteral("output"), QStringLiteral("TestExOutputHead"), QStringList());
}

void TstOutput::resultRows()
{
    ResultOutputNetWidget w;
    QSignalSpy batches(&w, &ResultOutputBaseWidget::btnClearCliked);
    STRUCT_BARCODE_INFO b = barcode("DATA-1", 3);
    b.ai = -1;
    w.addBarcodeBatch({b}, false);
    QCOMPARE(w.rowCount(), 1);
    const QStringList row = w.model()->rows().first();
    QCOMPARE(row, (QStringList{"QR Code", "DATA-1", "6", "4.00", "127.0.0.5", "02:00:00:00:00:03",
                               "SN3", "A", "12.50", "0", ""}));
    QCOMPARE(w.model()->headerData(7, Qt::Horizontal).toString(), kxTr(QStringLiteral("#IDS_BarCode_Quality")));
    w.setEngravingQuality(true);
    QCOMPARE(w.model()->headerData(7, Qt::Horizontal).toString(), kxTr(QStringLiteral("#IDS_EngravingQuality")));
    // The clear button empties the table and tells the page.
    w.toolButton(QStringLiteral("#IDS_ClearImageAndData"))->click();
    QCOMPARE(w.rowCount(), 0);
    QCOMPARE(batches.size(), 1);
}

void TstOutput::testRows_data()
{
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("cfg");
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("cfgShown");
    QTest::newRow("pass, current settings") << true << "0" << "OK" << "T-1" << kxTr("#IDS_CurrentConfigLib");
    QTest::newRow("fail, set 3") << false << "3" << "NG" << "NG" << "3";
}

void TstOutput::testRows()
{
    QFETCH(bool, ok);
    QFETCH(QString, cfg);
    QFETCH(QString, verdict);
    QFETCH(QString, data);
    QFETCH(QString, cfgShown);
    STRU_TEST_RESULT_INFO t;
    t.ok = ok;
    t.readRate = QStringLiteral("97.5");
    t.matchingLevel = QStringLiteral("2");
    t.aiPosition = QStringLiteral("4");
    t.item.barcode = barcode("T-1");
    t.item.barcode.cfgLibId = cfg;
    t.item.barcode.score = QStringLiteral("91.50");
    t.item.ownerSn = QStringLiteral("OWNER");

    ResultOutputTestWidget test;
    test.addTestResults({t});
    QCOMPARE(test.model()->rows().first(),
             (QStringList{verdict, "T-1", "QR Code", "97.5%", "12.50", "A", "91.50"}));
    QCOMPARE(test.model()->index(0, 0).data(ResultOutputTableViewModel::FailRole).toBool(), !ok);

    ResultOutputTestExWidget debug;
    debug.addTestResults({t});
    const QStringList row = debug.model()->rows().first();
    QCOMPARE(row.size(), ResultOutputTestExWidget::columnKeys().size());
    QCOMPARE(row[1], data);
    QCOMPARE(row[4], QStringLiteral("2"));
    QCOMPARE(row[7], QStringLiteral("OWNER"));
    QCOMPARE(row[10], cfgShown);
    QCOMPARE(row[11], QStringLiteral("4"));
}

void TstOutput::rowBound()
{
    ResultOutputNetWidget w;
    w.model()->setMaxRows(100);
    w.addBarcodes(barcodes(60));
    w.addBarcodes(barcodes(60, 60));
    QCOMPARE(w.rowCount(), 100);
    QCOMPARE(w.model()->rows().first().at(1), QStringLiteral("CODE-20"));
    QCOMPARE(w.model()->rows().last().at(1), QStringLiteral("CODE-119"));
    // One batch larger than the bound keeps its newest rows.
    w.addBarcodes(barcodes(250, 1000));
    QCOMPARE(w.rowCount(), 100);
    QCOMPARE(w.model()->rows().first().at(1), QStringLiteral("CODE-1150"));
}

void TstOutput::copyVisibleColumns()
{
    ResultOutputNetWidget w;
    w.addBarcodes({barcode("A\tB", 1), barcode("line\r\nbreak", 2)});
    QList<bool> visible;
    for (int c = 0; c < ResultOutputNetWidget::columnKeys().size(); ++c)
        visible.append(c == 1 || c == 2 || c == 6);
    w.setColumnsVisible(visible);
    // A tab or line break inside the data must not add cells or rows.
    QCOMPARE(w.copyText(), QStringLiteral("A B\t3\tSN1\r\nline  break\t11\tSN2\r\n"));
    w.toolButton(QStringLiteral("#ID_TEXT_COPY"))->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), w.copyText());
    QCOMPARE(w.exportHead(), (QStringList{kxTr("#IDS_Data"), kxTr("#IDS_Length"), kxTr("#IDS_SerialNumber")}));
    // The export keeps the data as it is.
    QCOMPARE(w.exportRows().first().first(), QStringLiteral("A\tB"));
}

void TstOutput::columnChoicePerPanel()
{
    {
        ResultOutputNetWidget w;
        w.toolButton(QStringLiteral("#IDS_Custom"))->click();
        auto *dlg = w.findChild<SetResultOutputFieldDlg *>();
        QVERIFY(dlg);
        QCOMPARE(dlg->checkBoxes().size(), ResultOutputNetWidget::columnKeys().size());
        QVERIFY(dlg->selectAllBox()->isChecked());
        dlg->checkBoxes()[4]->setChecked(false);  // IP
        dlg->checkBoxes()[5]->setChecked(false);  // MAC
        QVERIFY(!dlg->selectAllBox()->isChecked());
        dlg->accept();
        QVERIFY(w.view()->isColumnHidden(4));
        QVERIFY(!w.view()->isColumnHidden(3));
    }
    // A new panel of the same kind takes the stored choice; another kind keeps its own.
    ResultOutputNetWidget again;
    QVERIFY(again.view()->isColumnHidden(4));
    QVERIFY(again.view()->isColumnHidden(5));
    QCOMPARE(again.visibleColumns().size(), ResultOutputNetWidget::columnKeys().size() - 2);
    ResultOutputTestExWidget other;
    QCOMPARE(other.visibleColumns().size(), ResultOutputTestExWidget::columnKeys().size());

    // Nothing checked: OK is off, and a cancelled dialog changes nothing.
    SetResultOutputFieldDlg *dlg = again.openFieldDialog();
    QSignalSpy any(dlg, &SetResultOutputFieldDlg::anyChecked);
    dlg->selectAllBox()->click();  // all on
    QCOMPARE(any.size(), 1);
    dlg->selectAllBox()->click();  // all off
    QVERIFY(!dlg->okButton()->isEnabled());
    QCOMPARE(any.size(), 1);
    dlg->reject();
    QVERIFY(again.view()->isColumnHidden(4));
}

void TstOutput::exportWorkbook()
{
    ResultOutputNetWidget w;
    w.addBarcodes(barcodes(25));
    const QString path = m_data.filePath(QStringLiteral("report.xlsx"));
    m_ui->answerFile(path, QStringLiteral("excel (*.xlsx)"));
    w.toolButton(QStringLiteral("#IDS_GenerateReport"))->click();
    QVERIFY2(m_ui->isClean(), qPrintable(m_ui->errors().join('\n')));
    const auto files = m_ui->shown(KxScriptedUiBackend::Kind::File);
    QCOMPARE(files.size(), 1);
    QCOMPARE(files[0].title, QStringLiteral("#IDS_ExportExcel"));
    QCOMPARE(files[0].filter, QStringLiteral("excel (*.xlsx);;txt (*.txt)"));
    QCOMPARE(m_ui->waitingTexts(), QStringList{"#IDS_FileSaving"});
    QVERIFY(!m_ui->isWaitingShown());
    QCOMPARE(m_ui->toastTexts(), QStringList{"#IDS_ExportExcel_Success"});

    QStringList strings;
    int rows = 0;
    QVERIFY(readWorkbook(path, &strings, &rows));
    QCOMPARE(rows, 26);  // head and every row shown
    QVERIFY(strings.contains(kxTr("#IDS_Data")));
    for (int i = 0; i < 25; ++i)
        QVERIFY2(strings.contains(QStringLiteral("CODE-%1").arg(i)), qPrintable(QString::number(i)));
    // The folder is remembered and offered next time.
    QCOMPARE(KxSettings::instance()->value("output_export", "dir").toString(), m_data.path());
    m_ui->answerFile(m_data.filePath(QStringLiteral("second")), QStringLiteral("excel (*.xlsx)"));
    QVERIFY(w.exportReport());
    QCOMPARE(m_ui->shown(KxScriptedUiBackend::Kind::File).last().dir, m_data.path());
    QVERIFY(QFile::exists(m_data.filePath(QStringLiteral("second.xlsx"))));
}

void TstOutput::exportText_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("written");
    QTest::newRow("txt suffix, excel filter") << "a.txt" << "excel (*.xlsx)" << "a.txt";
    QTest::newRow("no suffix, txt filter") << "b" << "txt (*.txt)" << "b.txt";
    QTest::newRow("upper case suffix") << "c.TXT" << "excel (*.xlsx)" << "c.TXT";
}

void TstOutput::exportText()
{
    QFETCH(QString, name);
    QFETCH(QString, filter);
    QFETCH(QString, written);
    ResultOutputNetWidget w;
    w.addBarcodes(barcodes(3));
    m_ui->answerFile(m_data.filePath(name), filter);
    QVERIFY(w.exportReport());
    QFile f(m_data.filePath(written));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QVERIFY(!bytes.startsWith("PK"));
    QCOMPARE(QString::fromUtf8(bytes), w.copyText());
    QCOMPARE(bytes.count("\r\n"), 3);
}

void TstOutput::exportFailureKeepsRows()
{
    for (bool text : {false, true}) {
        ResultOutputTestWidget w;
        STRU_TEST_RESULT_INFO t;
        t.item.barcode = barcode("X");
        w.addTestResults({t, t});
        QCOMPARE(w.exportFilter(), QStringLiteral("txt (*.txt)"));
        const QString path = m_data.filePath(QStringLiteral("missing/dir/out.") + (text ? "txt" : "xlsx"));
        m_ui->answerFile(path);
        QVERIFY(!w.exportReport());
        QCOMPARE(m_ui->lastMessage().text, QStringLiteral("#IDS_ExportExcel_Failed"));
        QVERIFY(!m_ui->isWaitingShown());
        QVERIFY(!m_ui->toastTexts().contains(QStringLiteral("#IDS_ExportExcel_Success")));
        QCOMPARE(w.rowCount(), 2);
        m_ui->clear();
    }
    // Cancelled: nothing written, nothing told.
    ResultOutputTestWidget w;
    m_ui->cancelFile();
    QVERIFY(!w.exportReport());
    QVERIFY(m_ui->messageTexts().isEmpty());
}

void TstOutput::textPanel()
{
    ResultOutputWidget w;
    QVERIFY(w.toolButton(QStringLiteral("#IDS_ClearImageAndBarcodeData")));
    QVERIFY(!w.toolButton(QStringLiteral("#IDS_Custom")));
    w.addBarcodeBatch(barcodes(3), false);
    w.addBarcodes({barcode("two\nlines")});
    const QStringList lines = w.copyText().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines[0].endsWith(QStringLiteral("] CODE-0")));
    QVERIFY(lines[3].endsWith(QStringLiteral("] two lines")));
    QSignalSpy cleared(&w, &ResultOutputBaseWidget::btnClearCliked);
    w.toolButton(QStringLiteral("#IDS_ClearImageAndBarcodeData"))->click();
    QCOMPARE(cleared.size(), 1);
    QCOMPARE(w.rowCount(), 0);
    // A stream far longer than the log keeps only the newest lines.
    for (int i = 0; i < 5; ++i)
        w.addBarcodes(barcodes(1000, i * 1000));
    QCOMPARE(w.rowCount(), LazyPlainTextEdit::kMaxLines);
    QVERIFY(w.copyText().endsWith(QStringLiteral("] CODE-4999\r\n")));
}

QTEST_MAIN(TstOutput)
#include "tst_output.moc"
