// The quick page's read test and debug test: the reader reads on its own and reports each read
// as a test result; the page shows them in a table and sums them up when the test ends. Also the
// monitoring check and the tools' settings dialogs.
#include "QuickSettingsWidget.h"

#include "BCodeImageView.h"
#include "KxDeviceCommand.h"
#include "KxDeviceConnector.h"
#include "KxDialogRunner.h"
#include "KxI18nUtil.h"
#include "KxUiService.h"
#include "LazyPlainTextEdit.h"
#include "QuickTestPlan.h"
#include "QuickToolDialogs.h"
#include "QuickTools.h"
#include "ResultOutputTestExWidget.h"
#include "ResultOutputTestWidget.h"
#include "ResultOutputWidget.h"

#include <QElapsedTimer>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QToolButton>

namespace {
// The reader is asked how the test goes at this pace; the stop flag is looked at every 10 ms.
constexpr int kStatePollMs = 250;
}  // namespace

void QuickSettingsWidget::startReaderTest(const QString &id)
{
    KxDeviceCommand *cmd = m_connector ? m_connector->command() : nullptr;
    if (!cmd) {
        readerTestEnded(id, {{QStringLiteral("error"), "reader"}});
        return;
    }
    const bool debug = id == QuickTools::testEx();
    const QuickTestPlan::Settings settings =
        QuickTestPlan::load(debug ? QuickTestPlan::debugGroup() : QuickTestPlan::readGroup());
    // A fresh table for each test, shown while it runs.
    if (m_testTable) {
        m_outputTabs->removeTab(m_outputTabs->indexOf(m_testTable));
        m_testTable->deleteLater();
    }
    m_testTable = debug ? static_cast<ResultOutputTableWidget *>(new ResultOutputTestExWidget(m_outputTabs))
                        : new ResultOutputTestWidget(m_outputTabs);
    m_testTable->setObjectName(QStringLiteral("testTable"));
    m_outputTabs->addTab(m_testTable, kxTr(debug ? QStringLiteral("#IDS_DebugTestResults")
                                                 : QStringLiteral("#IDS_ReadTestResults")));
    m_outputTabs->setCurrentWidget(m_testTable);
    connect(m_connector.data(), &KxDeviceConnector::batTestResultReceived, m_testTable,
            &ResultOutputBaseWidget::addTestResults);
    // Test results come as test-result frames while the test runs.
    m_connector->setResultMode(1);
    // The summary: the decode times of the good reads as they come, images after no-reads.
    m_summary = QuickTestSummary();
    m_summary.title = kxTr(debug ? QStringLiteral("#IDS_DebugTestResults") : QStringLiteral("#IDS_ReadTestResults"));
    m_summary.imagesPossible = cmd->hasCmd(QStringLiteral("IMGGET"));
    disconnect(m_testTimes);
    m_testTimes = connect(m_connector.data(), &KxDeviceConnector::batTestResultReceived, this,
                          [this](const QList<STRU_TEST_RESULT_INFO> &results) {
                              for (const STRU_TEST_RESULT_INFO &r : results) {
                                  if (r.ok && r.item.barcode.decodeTime > 0)
                                      m_summary.times << r.item.barcode.decodeTime;
                              }
                          });
    const bool images = m_summary.imagesPossible;
    KxImageRequest imageRequest;
    imageRequest.format = QStringLiteral("2");  // JPEG: small enough to keep several
    imageRequest.quality = QStringLiteral("80");

    QList<QPair<QString, QByteArray>> setup;
    if (cmd->hasCmd(QStringLiteral("CCFBML")))
        setup << qMakePair(QStringLiteral("@CCFBML"), debug ? QuickTestPlan::debugMatch(settings.times, settings.level)
                                                            : QuickTestPlan::debugMatch(0, settings.level));
    if (!debug && cmd->hasCmd(QStringLiteral("ORTSET")))
        setup << qMakePair(QStringLiteral("@ORTSET"), QuickTestPlan::readTest(settings));
    const QString start = debug ? QStringLiteral("@TESSRN") : QStringLiteral("@TESLIB");
    m_stop = std::make_shared<std::atomic_bool>(false);
    const auto stop = m_stop;
    QPointer<QuickSettingsWidget> self(this);
    cmd->asyncProcess(
        [stop, setup, start, images, imageRequest](KxDeviceCommandPtr c) {
            QMap<QString, QByteArray> out;
            QByteArray v;
            if (!c) {
                out.insert(QStringLiteral("error"), "reader");
                return out;
            }
            for (const auto &s : setup) {
                if (c->query(1, s.first, v, s.second) != DataResult_Ack) {
                    out.insert(QStringLiteral("error"), "settings");
                    return out;
                }
            }
            if (c->query(1, start, v, "1") != DataResult_Ack) {
                out.insert(QStringLiteral("error"), "start");
                return out;
            }
            QElapsedTimer asked;
            asked.start();
            QByteArray state;
            int seenBad = 0, kept = 0;
            // Until stopped, or until the reader ends a counted debug test by itself.
            for (;;) {
                if (*stop)
                    break;
                if (asked.elapsed() >= kStatePollMs) {
                    asked.restart();
                    if (c->query(1, QStringLiteral("@TESQST"), state, "*") != DataResult_Ack) {
                        out.insert(QStringLiteral("error"), "state");
                        break;
                    }
                    const QuickTestPlan::State st = QuickTestPlan::parseState(state);
                    if (st.test == 0)
                        break;
                    // A read without a code since the last look: the reader's image of it.
                    const int bad = st.reads - st.good;
                    if (images && bad > seenBad && kept < QuickTestSummary::kMaxImages) {
                        const KxImageReply reply = c->getImage(imageRequest);
                        if (reply.ok && !reply.image.isEmpty())
                            out.insert(QStringLiteral("noread%1").arg(kept++), reply.image);
                    }
                    seenBad = bad;
                }
                QThread::msleep(10);
            }
            c->query(1, QStringLiteral("@TESSEN"), v);
            if (c->query(1, QStringLiteral("@TESQST"), state, "*") == DataResult_Ack)
                out.insert(QStringLiteral("state"), state);
            return out;
        },
        [self, id](KxDeviceCommandPtr, QMap<QString, QByteArray> result) {
            if (!self)
                return;
            // The last results may still be on their way: they are let in before the mode goes back.
            QTimer::singleShot(300, self, [self] {
                if (self && self->m_connector && self->m_running.isEmpty())
                    self->m_connector->setResultMode(0);
            });
            self->readerTestEnded(id, result);
        });
}

void QuickSettingsWidget::readerTestEnded(const QString &id, const QMap<QString, QByteArray> &result)
{
    toolEnded(id);
    m_stop.reset();
    const QuickTestPlan::State st = QuickTestPlan::parseState(result.value(QStringLiteral("state")));
    QStringList lines;
    if (result.contains(QStringLiteral("error")))
        lines << kxTr(QStringLiteral("#IDS_ReaderTest_Error"));
    if (st.valid) {
        lines << kxTr(QStringLiteral("#IDS_ReaderTest_Summary"))
                     .arg(kxTr(id == QuickTools::testEx() ? QStringLiteral("#IDS_DebugTestResults")
                                                          : QStringLiteral("#IDS_ReadTestResults")))
                     .arg(st.reads)
                     .arg(st.good)
                     .arg(st.reads - st.good)
                     .arg(st.rate);
        m_summary.attempts = st.reads;
        m_summary.good = st.good;
        m_summary.noRead = st.reads - st.good;
    }
    for (int i = 0; i < QuickTestSummary::kMaxImages; ++i) {
        const QByteArray bytes = result.value(QStringLiteral("noread%1").arg(i));
        if (!bytes.isEmpty())
            m_summary.keepImage(QImage::fromData(bytes));
    }
    if (lines.isEmpty())
        return;
    m_resultOutput->textEdit()->appendLines(lines);
    KxUi()->toast(lines.join(QLatin1Char('\n')), 5000, this,
                  result.contains(QStringLiteral("error")) ? KxMsgType::Error : KxMsgType::Information);
}

void QuickSettingsWidget::OnTimeoutCheckMonitorState()
{
    KxDeviceCommand *cmd = m_connector ? m_connector->command() : nullptr;
    if (m_running != QuickTools::monitor() || !cmd || !cmd->hasCmd(QStringLiteral("SCNMTG")) || m_monitorQueryOut)
        return;
    m_monitorQueryOut = true;
    QPointer<QuickSettingsWidget> self(this);
    cmd->asyncProcess(
        [](KxDeviceCommandPtr c) {
            QMap<QString, QByteArray> out;
            QByteArray v;
            if (c && c->query(1, QStringLiteral("#SCNMTG"), v, "*") == DataResult_Ack)
                out.insert(QStringLiteral("SCNMTG"), v);
            return out;
        },
        [self](KxDeviceCommandPtr, QMap<QString, QByteArray> result) {
            if (!self)
                return;
            self->m_monitorQueryOut = false;
            // A reader that restarted or ended monitoring itself: the tool ends with it.
            if (self->m_running == QuickTools::monitor() && result.value(QStringLiteral("SCNMTG")) == "0") {
                self->m_imageView->OnSlotBarcodeImageViewMonitor(false, true);
                self->toolEnded(QuickTools::monitor());
                KxUi()->toast(kxTr(QStringLiteral("#IDS_MonitorStoppedByReader")), 3000, self);
            }
        });
}

void QuickSettingsWidget::openToolSettings(const QString &id)
{
    if (!m_running.isEmpty())
        return;  // settings change between runs
    if (id == QuickTools::autoFocus()) {
        AutoFocusParamsDlg dlg(this);
        KxDialogRunner::run(&dlg);
        return;
    }
    const QString group = id == QuickTools::trigger() ? QuickTestPlan::triggerGroup()
                        : id == QuickTools::testEx()  ? QuickTestPlan::debugGroup()
                                                      : QuickTestPlan::readGroup();
    QuickTestSettingsDlg dlg(group, this);
    KxDialogRunner::run(&dlg);
}
