// The RFID frame through the main window against a virtual RFID reader of 200 tags, as a user
// clicks: the reader opens in the RFID frame, an inventory lists every tag once with its count,
// tag memory writes read back (and a locked bank says so), and leaving stops the inventory.
#include "AdvancedSettingsWidget.h"
#include "BrevanResources.h"
#include "ChangedCmdsListDlg.h"
#include "ControlEdit.h"
#include "DeviceEditClient.h"
#include "DeviceListLogic.h"
#include "DeviceListWidget.h"
#include "DialogTestUtil.h"
#include "DoSaveChangedCmds.h"
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDeviceCommand.h"
#include "KxLoginedDevicesManage.h"
#include "KxStyledButtons.h"
#include "MainFrame.h"
#include "MainPageClient.h"
#include "MainWinTestEnv.h"
#include "NDeviceGroupItem.h"
#include "NDeviceList.h"
#include "NDeviceListItem.h"
#include "RFIDEditFrame.h"
#include "RfidInventoryWidget.h"
#include "RfidTagModel.h"
#include "VReaderSession.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QSpinBox>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

class TestRfidFrame : public QObject
{
    Q_OBJECT
    MainWinTestEnv *env = nullptr;
    VReaderProcess vr;
    MainFrame *m_frame = nullptr;

    NDeviceListItem *listed() const
    {
        NDeviceGroupItem *net = m_frame->mainPage()->deviceList()->allDeviceList()->group(DeviceListLogic::kGroupNetwork);
        if (net) {
            for (NDeviceListItem *item : net->devices())
                if (item->deviceInfo().value("Ip Address") == vr.readers().value(0).address)
                    return item;
        }
        return nullptr;
    }
    RFIDEditFrame *frame() const
    {
        auto *edit = qobject_cast<DeviceEditClient *>(m_frame->currentPanel());
        return edit ? qobject_cast<RFIDEditFrame *>(edit->currentFrame()) : nullptr;
    }
    RfidInventoryWidget *page() const { return frame() ? frame()->inventoryPage() : nullptr; }
    static void click(QAbstractButton *b)
    {
        QVERIFY(b && b->isVisible() && b->isEnabled());
        QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, b->rect().center());
    }
    // A request straight to the reader, beside the frame's own traffic.
    int sendDirect(const QByteArray &text)
    {
        QByteArray reply, value;
        KxDeviceKit::Instance()->sendBinaryMessage(frame()->deviceId(), KxMakeDataStreamCmd(text, DataProtocol_Settings),
                                                   reply, 10000);
        return KxGetDataStreamResult(reply, QString::fromLatin1(text.mid(1, 6)), value);
    }

private slots:
    void initTestCase()
    {
        brevanInitResources();
        env = new MainWinTestEnv;
        MainFrame::setAvailableGeometryProvider([] { return QRect(0, 0, 1366, 768); });
        // One antenna, session 0, five rounds: every tag in reach is read exactly five times.
        const QString why = VReaderSession::startForDiscovery(
            vr, {"--model", "KXS-RF600", "--tags", "200", "--set", "URFANT=1", "--set", "URFSES=0",
                 "--set", "URFQVL=8", "--set", "URFRND=5"});
        QVERIFY2(why.isEmpty(), qPrintable(why));
        m_frame = new MainFrame;
        m_frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_frame));
    }
    void cleanupTestCase()
    {
        delete m_frame;
        MainFrame::setAvailableGeometryProvider(nullptr);
        vr.stop();
        delete env;
    }

    void init() { env->ui.clear(); }

    void opensInTheRfidFrame()
    {
        QTRY_VERIFY_WITH_TIMEOUT(listed(), 20000);
        QTest::mouseDClick(listed(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
        QTRY_COMPARE_WITH_TIMEOUT(m_frame->getCurPanelId(), MainFramePanel_DeviceEdit, 30000);
        QVERIFY(frame());
        QCOMPARE(frame()->currentPage(), page());
        QVERIFY(frame()->toolButton("Id_Btn_Inventory")->isChecked());
        // The settings pages are the model's own.
        click(frame()->toolButton("Id_Btn_AdvancedSettings"));
        QVERIFY(frame()->settingsPage());
        QCOMPARE(frame()->currentPage(), frame()->settingsPage());
        QVERIFY(frame()->settingsPage()->navButton("Id_Nav_RfidRadio"));
        click(frame()->toolButton("Id_Btn_Inventory"));
        QCOMPARE(frame()->currentPage(), page());
    }

    void inventoryListsEveryTagOnce()
    {
        QVERIFY(page());
        click(page()->findChild<QAbstractButton *>("btnInventory"));
        QTRY_COMPARE_WITH_TIMEOUT(page()->state(), RfidInventoryWidget::State::Running, 10000);
        // Five rounds end on their own; the page notices and shows what came.
        QTRY_COMPARE_WITH_TIMEOUT(page()->state(), RfidInventoryWidget::State::Stopped, 60000);
        const KxTagTable &table = page()->model()->table();
        QTRY_COMPARE_WITH_TIMEOUT(table.totalReads(), qint64(1000), 10000);
        QCOMPARE(table.size(), 200);
        for (int i = 0; i < table.size(); ++i)
            QCOMPARE(table.row(i).count, qint64(5));
        QTRY_COMPARE(page()->view()->model()->rowCount(), 200);
        // A filter on one whole EPC (in lower case) leaves that tag.
        const QString epc = table.row(7).epcHex();
        page()->findChild<QLineEdit *>("editEpcFilter")->setText(epc.toLower());
        QCOMPARE(page()->model()->visibleRows(), QList<int>{7});
        QCOMPARE(page()->view()->model()->rowCount(), 1);
        // The export writes what the table shows; a name without suffix gets ".xlsx".
        QTemporaryDir dir;
        env->ui.answerFile(dir.filePath("one"));
        click(page()->findChild<QAbstractButton *>("btnExportTags"));
        QVERIFY(QFileInfo(dir.filePath("one.xlsx")).size() > 0);
        QCOMPARE(env->ui.toastTexts().value(0), QString("#IDS_ExportExcel_Success"));
        page()->findChild<QLineEdit *>("editEpcFilter")->clear();
        QCOMPARE(page()->view()->model()->rowCount(), 200);

        // A click on a column's title sorts by it, a second click the other way round.
        QHeaderView *header = page()->view()->horizontalHeader();
        auto clickTitle = [header](int column) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                              QPoint(header->sectionViewportPosition(column) + 10, header->height() / 2));
        };
        auto rssiColumn = [this] {
            QList<int> values;
            QAbstractItemModel *m = page()->view()->model();
            for (int r = 0; r < m->rowCount(); ++r)
                values << m->index(r, RfidTagModel::Col_Rssi).data().toInt();
            return values;
        };
        clickTitle(RfidTagModel::Col_Rssi);
        QList<int> rssi = rssiColumn();
        QVERIFY(std::is_sorted(rssi.begin(), rssi.end()));
        QVERIFY(rssi.first() < rssi.last());
        clickTitle(RfidTagModel::Col_Rssi);
        rssi = rssiColumn();
        QVERIFY(std::is_sorted(rssi.rbegin(), rssi.rend()));
        clickTitle(RfidTagModel::Col_No);  // a new column keeps the direction: once more
        if (header->sortIndicatorOrder() == Qt::DescendingOrder)
            clickTitle(RfidTagModel::Col_No);
        QCOMPARE(page()->model()->epcAt(7), table.row(7).epc);
    }

    void tagMemory_data()
    {
        QTest::addColumn<int>("bank");
        QTest::addColumn<int>("pointer");
        QTest::addColumn<QString>("words");
        QTest::addColumn<QString>("message");
        QTest::newRow("user words read back") << 3 << 4 << "beef 0123" << kxTr("#IDS_Rfid_WriteVerified").arg(2);
        QTest::newRow("TID is locked") << 2 << 0 << "1234"
                                       << kxTr("#IDS_Rfid_WriteFailed").arg(kxTr("#IDS_Rfid_Err_LOCKED"));
        QTest::newRow("not whole words") << 3 << 0 << "12345" << kxTr("#IDS_Rfid_BadWords");
        // Word 7 of the EPC bank is the EPC's last word: the read-back needs the new EPC.
        QTest::newRow("EPC word renames the tag") << 1 << 7 << "abcd" << kxTr("#IDS_Rfid_WriteVerified").arg(1);
    }
    void tagMemory()
    {
        QFETCH(int, bank);
        QFETCH(int, pointer);
        QFETCH(QString, words);
        QFETCH(QString, message);
        RfidInventoryWidget *p = page();
        QVERIFY(p);
        const QByteArray epc = p->model()->table().row(3).epc;
        QVERIFY(p->selectEpc(epc));
        QCOMPARE(p->selectedEpc(), epc);
        p->bankBox()->setCurrentIndex(bank);
        p->pointerBox()->setValue(pointer);
        p->dataEdit()->setText(words);
        click(p->findChild<QAbstractButton *>("btnWriteBank"));
        QTRY_VERIFY_WITH_TIMEOUT(!p->memoryBusy(), 15000);
        QCOMPARE(p->memoryMessage(), message);
        if (bank == 1)
            QCOMPARE(p->selectedEpc(), epc.left(10) + QByteArray::fromHex("ABCD"));
        if (bank != 3 || pointer != 4)
            return;
        // Read the words again on their own: the bank view shows what was written.
        p->dataEdit()->clear();
        p->countBox()->setValue(2);
        click(p->findChild<QAbstractButton *>("btnReadBank"));
        QTRY_VERIFY_WITH_TIMEOUT(!p->memoryBusy(), 15000);
        QCOMPARE(p->dataEdit()->text(), words.toUpper());
    }

    void leavingStopsTheInventory()
    {
        QVERIFY(page());
        // A setting changed on the settings page runs unsaved until the frame is left.
        click(frame()->toolButton("Id_Btn_AdvancedSettings"));
        QVERIFY(editValue(frame()->settingsPage()->currentPage(), "URFPWR", "25"));
        QVERIFY(frame()->findChild<QToolButton *>("btnUnsaved")->isEnabled());
        click(frame()->toolButton("Id_Btn_Inventory"));
        // Rounds without end this time.
        QCOMPARE(sendDirect("#URFRND0"), int(DataResult_Ack));
        const qint64 before = page()->model()->table().totalReads();
        click(page()->findChild<QAbstractButton *>("btnInventory"));
        QTRY_VERIFY_WITH_TIMEOUT(page()->model()->table().totalReads() > before + 400, 30000);
        QVERIFY(frame()->isBusy());
        const QString id = frame()->deviceId();
        int asked = 0;
        RunnerScope scope([&](QDialog *d) {
            asked += qobject_cast<ChangedCmdsListDlg *>(d) != nullptr;
            return int(SaveChoice_NotSave);
        });
        click(frame()->toolButton("Id_Btn_MainPage"));
        QTRY_COMPARE_WITH_TIMEOUT(m_frame->getCurPanelId(), MainFramePanel_Main, 15000);
        QCOMPARE(asked, 1);
        QVERIFY(!KxLoginedDevicesManage::instance()->device(id)
                || KxLoginedDevicesManage::instance()->device(id)->state() != int(DeviceState_LoggedIn));
        QVERIFY2(env->ui.toastTexts().isEmpty(), qPrintable(env->ui.toastTexts().join(", ")));
        // The reader itself says the inventory is over.
        QString why;
        std::unique_ptr<KxDeviceConnector> c = VReaderSession::login(vr, &why);
        QVERIFY2(c, qPrintable(why));
        QCOMPARE(VReaderSession::readerValue(c.get(), "URFINV"), QByteArray("0"));
        QCOMPARE(VReaderSession::readerValue(c.get(), "URFPWR"), QByteArray("30"));
        c->logout();
        c->disconnectDevice(true);
    }
};

QTEST_MAIN(TestRfidFrame)
#include "tst_rfid_frame.moc"
