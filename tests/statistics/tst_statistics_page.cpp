// The statistics page through the main window, against three virtual readers that read a
// conveyor with a known share of unreadable labels: the figures follow the real reads, the
// counters can be cleared, the lock holds the page until the password is given, and the page
// always leads back to the main page, letting the readers go.
#include "BrevanResources.h"
#include "DeviceEditClient.h"
#include "DeviceListLogic.h"
#include "DeviceListWidget.h"
#include "KxDeviceCommand.h"
#include "KxDeviceConnector.h"
#include "KxDeviceKit.h"
#include "KxSettings.h"
#include "KxStyledButtons.h"
#include "MainFrame.h"
#include "MainPageClient.h"
#include "MainWinTestEnv.h"
#include "NDeviceGroupItem.h"
#include "NDeviceList.h"
#include "NDeviceListItem.h"
#include "PasswordWidgets.h"
#include "QStatisticsImageWidget.h"
#include "StatisticsDeviceList.h"
#include "StatisticsEditFrame.h"
#include "StatisticsEditWidget.h"
#include "StatisticsPassword.h"
#include "StatisticsReader.h"
#include "StatisticsTestScene.h"
#include "VReaderSession.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QtTest>

#include <cmath>

class TestStatisticsPage : public QObject
{
    Q_OBJECT
    MainWinTestEnv *env = nullptr;
    VReaderProcess vr;
    QTemporaryDir m_dir;
    MainFrame *m_frame = nullptr;
    QStringList m_ids;
    int m_dialogs = 0;

    QList<NDeviceListItem *> listed()
    {
        QList<NDeviceListItem *> out;
        NDeviceGroupItem *net = m_frame->mainPage()->deviceList()->allDeviceList()->group(DeviceListLogic::kGroupNetwork);
        if (net) {
            for (NDeviceListItem *item : net->devices()) {
                for (const VReaderProcess::Reader &r : vr.readers())
                    if (item->deviceInfo().value("Ip Address") == r.address)
                        out << item;
            }
        }
        return out;
    }

    StatisticsEditFrame *page() const
    {
        auto *edit = qobject_cast<DeviceEditClient *>(m_frame->currentPanel());
        return edit ? qobject_cast<StatisticsEditFrame *>(edit->currentFrame()) : nullptr;
    }

    // Opens the page as a user does: select a reader, press the statistics button, all readers
    // chosen in the selection dialog.
    void openPage()
    {
        QList<NDeviceListItem *> items;
        QTRY_VERIFY_WITH_TIMEOUT((items = listed()).size() == 3, 20000);
        QTest::mouseClick(items.first(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
        QTRY_VERIFY(!m_frame->mainPage()->selectedDeviceId().isEmpty());
        m_frame->mainPage()->button("Id_Btn_Statistics")->click();
        QTRY_COMPARE_WITH_TIMEOUT(m_frame->getCurPanelId(), MainFramePanel_DeviceEdit, 10000);
        QVERIFY(page());
        QCOMPARE(page()->readers().size(), 3);
        QTRY_VERIFY_WITH_TIMEOUT(allReady(), 60000);
    }

    bool allReady() const
    {
        if (!page())
            return false;
        for (StatisticsReader *r : page()->readers())
            if (r->state() != StatisticsReader::Ready || !r->hasCounts())
                return false;
        return true;
    }

    // The password dialog answered with text; what it gave back.
    void answerPassword(const QString &password)
    {
        StatisticsEditWidget::setDialogRunner([this, password](QDialog *d) {
            ++m_dialogs;
            auto *v = qobject_cast<PasswordValidationWidget *>(d);
            if (!v)
                return int(QDialog::Rejected);
            v->passwordEdit()->setText(password);
            v->okButton()->click();
            return d->result();
        });
    }

private slots:
    void initTestCase()
    {
        brevanInitResources();
        env = new MainWinTestEnv;
        MainFrame::setAvailableGeometryProvider([] { return QRect(0, 0, 1400, 900); });
        const QString scene = m_dir.filePath("conveyor.json");
        QVERIFY(StatisticsTestScene::write(scene));
        const QString why = VReaderSession::startForDiscovery(
            vr, {"--model", "KXS-FM800", "--count", "3", "--scene", scene}, 3);
        QVERIFY2(why.isEmpty(), qPrintable(why));
        const QHostAddress first(vr.firstAddress());
        QCOMPARE(KxDeviceKit::Instance()->setScanAddresses(
                     first.toString() + '-' + QHostAddress(first.toIPv4Address() + 2).toString()).size(), 3);
        // The line runs: every reader reads on its own, one read after another.
        for (const VReaderProcess::Reader &r : vr.readers()) {
            QString failed;
            std::unique_ptr<KxDeviceConnector> c = VReaderSession::login(r, &failed);
            QVERIFY2(c, qPrintable(failed));
            QVector<ChangedCmdInfo> changes(2);
            changes[0].code = changes[0].name = "SCNITV";
            changes[0].value = changes[0].displayValue = "100";
            changes[1].code = changes[1].name = "SCNMOD";
            changes[1].value = changes[1].displayValue = "1";
            QCOMPARE(VReaderSession::sendChanges(c->command(), changes, this), 2);
            c->logout();
            c->disconnectDevice(true);
        }
        m_frame = new MainFrame;
        m_frame->mainPage()->setStatisticsSelector([this](QWidget *, const QList<KxDeviceInfoMap> &readers) {
            m_ids.clear();
            for (const KxDeviceInfoMap &info : readers)
                m_ids << info.value("Device Id");
            return m_ids;
        });
        m_frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_frame));
    }
    void cleanupTestCase()
    {
        StatisticsEditWidget::setDialogRunner(nullptr);
        delete m_frame;
        MainFrame::setAvailableGeometryProvider(nullptr);
        vr.stop();
        delete env;
    }
    void init() { env->ui.clear(); }

    void figuresFollowTheConveyor()
    {
        openPage();
        if (QTest::currentTestFailed())
            return;
        StatisticsEditFrame *p = page();
        QCOMPARE(p->editWidgets().size(), 3);
        QCOMPARE(p->deviceList()->items().size(), 3);
        QList<StatisticsCounts> start;
        for (StatisticsReader *r : p->readers())
            start << r->counts();
        QElapsedTimer watched;
        watched.start();
        // Long enough for a couple of hundred labels to pass each reader.
        QTRY_VERIFY_WITH_TIMEOUT(watched.elapsed() > 15000 && [&] {
            for (int i = 0; i < 3; ++i)
                if (p->readers()[i]->counts().total - start[i].total < 100)
                    return false;
            return true;
        }(), 120000);
        const double labels = watched.elapsed() / 1000.0 * StatisticsTestScene::kLabelsPerSecond;
        const double p0 = StatisticsTestScene::kUnreadable;
        for (int i = 0; i < 3; ++i) {
            StatisticsReader *r = p->readers()[i];
            const StatisticsCounts now = r->counts();
            const double reads = now.total - start[i].total;
            const double bad = reads - (now.success - start[i].success);
            // Which labels passed, and when the reads looked at them, both vary.
            const double spread = std::sqrt(p0 * (1 - p0) * (1 / labels + 1 / reads));
            QVERIFY2(std::abs(bad / reads - p0) <= 4 * spread,
                     qPrintable(QString("reader %1: %2 of %3 reads failed, %4 labels").arg(i).arg(bad).arg(reads).arg(labels)));
            QVERIFY(now.timeMs > start[i].timeMs);  // good reads take time
            // The card shows the reader's own figures, in the order of its fields.
            const StatisticsFigures f = r->figures();
            QTRY_COMPARE(p->editWidgets()[i]->imageWidget()->figureTexts(),
                         QStringList({r->figures().total, r->figures().success, r->figures().average, r->figures().rate}));
            QVERIFY(p->editWidgets()[i]->imageWidget()->isReady());
            // The first record went to the reader's history file at once.
            QStringList lines;
            QVERIFY(StatisticsHistory::readLines(r->history().path(), &lines));
            QVERIFY(!lines.isEmpty());
            QVERIFY2(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d,\\d+,\\d+,\\d+\\.\\d\\d%,\\d+\\.\\d\\d$")
                         .match(lines.first()).hasMatch(), qPrintable(lines.first()));
            QVERIFY(r->history().path().startsWith(env->dataDir()));
        }
        // The ranking table puts the worst reader first.
        const QStringList order = p->overview()->order();
        QCOMPARE(order.size(), 3);
        auto rateOf = [&](const QString &id) {
            for (StatisticsReader *r : p->readers())
                if (r->deviceId() == id)
                    return double(r->counts().success) / r->counts().total;
            return -1.0;
        };
        QVERIFY(rateOf(order[0]) <= rateOf(order[1]) + 0.02 && rateOf(order[1]) <= rateOf(order[2]) + 0.02);
        // The latest image arrives with the labels found in it marked.
        QTRY_VERIFY_WITH_TIMEOUT([&] {
            for (StatisticsEditWidget *w : p->editWidgets())
                if (w->imageWidget()->hasImage() && w->imageWidget()->markCount() > 0)
                    return true;
            return false;
        }(), 60000);
    }

    void resetClearsTheReaderCounters()
    {
        StatisticsEditFrame *p = page();
        QVERIFY(p);
        StatisticsReader *r = p->readers().first();
        const qint64 before = r->counts().total;
        QVERIFY(before > 50);
        env->ui.answerMessage(1, "#IDS_Statistics_ResetConfirm");
        p->editWidgets().first()->button("toolButtonReSet")->click();
        QTRY_VERIFY_WITH_TIMEOUT(r->counts().total < before / 2, 30000);
        QVERIFY(env->ui.toastTexts().isEmpty());
        // The others go on counting.
        QVERIFY(p->readers()[1]->counts().total > before / 2);
    }

    void lockedPageNeedsThePassword()
    {
        StatisticsEditFrame *p = page();
        QVERIFY(p);
        p->lockButton()->click();
        QVERIFY(p->isLocked());
        QVERIFY(StatisticsPassword::isLocked());
        for (StatisticsEditWidget *w : p->editWidgets()) {
            QVERIFY(!w->button("toolButtonReSet")->isEnabled());
            QVERIFY(w->button("toolButtonHistory")->isEnabled());
        }
        // A wrong password keeps the page.
        answerPassword("wrong");
        p->homeButton()->click();
        QCOMPARE(env->ui.messageTexts(), QStringList{"#ID_PWD_ERROR5"});
        QCOMPARE(m_frame->getCurPanelId(), MainFramePanel_DeviceEdit);
        QVERIFY(p->isLocked());

        // A new password, given with the default one as the old.
        StatisticsEditWidget::setDialogRunner([this](QDialog *d) {
            ++m_dialogs;
            auto *c = qobject_cast<PasswordChangeWidget *>(d);
            if (!c)
                return int(QDialog::Rejected);
            c->oldEdit()->setText("qerlid");
            c->newEdit()->setText("line7");
            c->confirmEdit()->setText("line7");
            c->okButton()->click();
            return d->result();
        });
        p->passwordButton()->click();
        QCOMPARE(env->ui.messageTexts().last(), QString("#ID_PWD_OK"));
        QCOMPARE(KxSettings::instance()->value("Statistics", "Pwd").toString(), StatisticsPassword::hash("line7"));

        answerPassword("qerlid");
        p->homeButton()->click();
        QCOMPARE(m_frame->getCurPanelId(), MainFramePanel_DeviceEdit);
        answerPassword("line7");
        p->homeButton()->click();
        QCOMPARE(m_frame->getCurPanelId(), MainFramePanel_Main);
        QVERIFY(!StatisticsPassword::isLocked());
        // Leaving let every reader go.
        for (const QString &id : m_ids)
            QTRY_VERIFY_WITH_TIMEOUT(!KxDeviceKit::Instance()->isConnected(id), 15000);
    }

    void unlockedPageIsLeftAtOnce()
    {
        m_dialogs = 0;
        StatisticsEditWidget::setDialogRunner([this](QDialog *) {
            ++m_dialogs;
            return int(QDialog::Rejected);
        });
        openPage();
        if (QTest::currentTestFailed())
            return;
        QVERIFY(!page()->isLocked());
        page()->homeButton()->click();
        QCOMPARE(m_frame->getCurPanelId(), MainFramePanel_Main);
        QCOMPARE(m_dialogs, 0);
        for (const QString &id : m_ids)
            QTRY_VERIFY_WITH_TIMEOUT(!KxDeviceKit::Instance()->isConnected(id), 15000);
    }
};

QTEST_MAIN(TestStatisticsPage)
#include "tst_statistics_page.moc"
