#include "QuickSettingsWidget.h"

#include "BCodeImageView.h"
#include "BCodeImageViewPrivate.h"
#include "BCodePropertyWidget.h"
#include "DeviceCardWidget.h"
#include "EditDeviceContext.h"
#include "KxDeviceConnector.h"
#include "KxI18nUtil.h"
#include "KxLoginedDevicesManage.h"
#include "LazyPlainTextEdit.h"
#include "KxDialogRunner.h"
#include "QuickConfigSetBox.h"
#include "QuickFallbackPage.h"
#include "QuickTestPlan.h"
#include "QuickTestSummaryDlg.h"
#include "QuickToolDialogs.h"
#include "SelectPointFocusDlg.h"
#include "SelfLearningResultDlg.h"
#include "QuickTools.h"
#include "ResultOutputNetWidget.h"
#include "ResultOutputWidget.h"
#include "KxDeviceCommand.h"
#include "KxUiService.h"
#include "KxSettings.h"

#include <algorithm>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QLabel>
#include <QMenu>
#include <QSplitter>
#include <QTimer>
#include <QTabWidget>
#include <QToolButton>

namespace {
// Title and editor columns of the dock's pages, and the dock's least width that holds them
// (with the page's margins and the scroll bar).
constexpr int kDockLabelWidth = 160;
constexpr int kDockEditorWidth = 180;
constexpr int kDockMinWidth = kDockLabelWidth + kDockEditorWidth + 60;
// How long a leaving page lets a tool's worker stop the reader (it looks at its stop flag
// every 10 ms; then one or two requests).
constexpr int kLeaveWaitMs = 5000;
}  // namespace

QuickSettingsWidget::QuickSettingsWidget(QWidget *parent) : IPluginWidget(parent)
{
    setObjectName(QStringLiteral("QuickSettingsWidget"));
    const QString panel = QStringLiteral(".QWidget{background-color: rgb(240, 240, 240);border-radius:3px;}");
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(12);

    auto *left = new QWidget(this);
    left->setObjectName(QStringLiteral("widgetLeft"));
    left->setFixedWidth(240);
    auto *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    m_card = new DeviceCardWidget(left);
    m_card->setObjectName(QStringLiteral("widgetDeviceCard"));
    leftLayout->addWidget(m_card);
    m_configSets = new QuickConfigSetBox(left);
    m_configSets->setObjectName(QStringLiteral("widgetConfigLib"));
    m_configSets->setStyleSheet(panel);
    connect(m_configSets, &QuickConfigSetBox::configLibEnable, this, &QuickSettingsWidget::OnSignalConfigLibEnable);
    leftLayout->addWidget(m_configSets);
    leftLayout->addStretch(1);

    auto *right = new QWidget(this);
    right->setObjectName(QStringLiteral("widgetRight"));
    auto *rightLayout = new QHBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(12);
    auto *centre = new QWidget(right);
    auto *centreLayout = new QVBoxLayout(centre);
    centreLayout->setContentsMargins(0, 0, 0, 0);
    m_toolArea = new QWidget(centre);
    m_toolArea->setObjectName(QStringLiteral("widgetBarcodeTools"));
    m_toolArea->setStyleSheet(QStringLiteral(
        "QToolButton{color: #000000;background-color: #DCDCDC;selection-color: #0c3484;"
        "selection-background-color: #F4FFFF;font-size:16px;border-radius:3px;padding:3px;margin:0px;}"
        "QToolButton:checked{background-color:#0c3484;color:#ffffff;}"
        // Tools with settings keep their text clear of the arrow.
        "QToolButton[popupMode=\"1\"]{padding-right:20px;}"
        "QToolButton::menu-button{width:18px;border:none;border-left:1px solid #c4c4c4;}"));
    auto *toolLayout = new QHBoxLayout(m_toolArea);
    toolLayout->setContentsMargins(0, 0, 0, 0);
    toolLayout->addStretch(1);
    centreLayout->addWidget(m_toolArea);
    // The centre: the live image above the output panel.
    m_splitter = new QSplitter(Qt::Vertical, centre);
    m_splitter->setObjectName(QStringLiteral("splitter"));
    m_splitter->setChildrenCollapsible(false);
    m_imageView = new BCodeImageView(m_splitter);
    m_imageView->setObjectName(QStringLiteral("widgetImageView"));
    m_imageView->setMinimumHeight(240);
    m_output = new QWidget(m_splitter);
    m_output->setObjectName(QStringLiteral("widgetOutput"));
    m_output->setStyleSheet(panel);
    m_output->setMinimumHeight(80);
    m_output->setLayout(new QVBoxLayout);
    m_output->layout()->setContentsMargins(0, 0, 0, 0);
    m_outputTabs = new QTabWidget(m_output);
    m_outputTabs->setObjectName(QStringLiteral("outputTabs"));
    m_resultTable = new ResultOutputNetWidget(m_outputTabs);
    m_resultTable->setObjectName(QStringLiteral("resultTable"));
    m_resultOutput = new ResultOutputWidget(m_outputTabs);
    m_resultOutput->setObjectName(QStringLiteral("resultOutput"));
    m_outputTabs->addTab(m_resultTable, kxTr(QStringLiteral("#IDS_ResultTable")));
    m_outputTabs->addTab(m_resultOutput, kxTr(QStringLiteral("#IDS_ResultLog")));
    m_output->layout()->addWidget(m_outputTabs);
    connect(m_imageView, &BCodeImageView::decodeResult, this, &QuickSettingsWidget::decodeResultSlot);
    m_splitter->setStretchFactor(0, 3);
    m_splitter->setStretchFactor(1, 1);
    centreLayout->addWidget(m_splitter, 1);
    rightLayout->addWidget(centre, 3);
    connect(m_imageView, &BCodeImageView::OnSignalBarcodeImageViewPlay, this,
            &QuickSettingsWidget::OnSlotBarcodeImageViewPlay);

    m_tabs = new QTabWidget(right);
    m_tabs->setObjectName(QStringLiteral("widgetDocked"));
    m_settings = new BCodePropertyWidget(m_tabs);
    m_settings->setObjectName(QStringLiteral("quickSettings"));
    // The dock is narrower than a settings page: columns that fit it, so long titles wrap.
    m_settings->setColumnWidths(kDockLabelWidth, kDockEditorWidth);
    m_tabs->addTab(m_settings, kxTr(QStringLiteral("#IDS_CurrentSettings")));
    m_tabs->setMinimumWidth(kDockMinWidth);
    rightLayout->addWidget(m_tabs, 2);

    layout->addWidget(left);
    layout->addWidget(right, 1);

    m_monitorCheck = new QTimer(this);
    m_monitorCheck->setInterval(1000);
    connect(m_monitorCheck, &QTimer::timeout, this, &QuickSettingsWidget::OnTimeoutCheckMonitorState);
}

bool QuickSettingsWidget::openDeviceById(const QString &deviceId, const QVariant &param)
{
    return openDevice(KxLoginedDevicesManage::instance()->device(deviceId), param);
}

bool QuickSettingsWidget::openDevice(QPointer<KxDeviceConnector> connector, const QVariant &)
{
    if (!connector)
        return false;
    if (connector == m_connector)
        return true;
    m_connector = connector;
    m_card->setDevice(connector->deviceId(), connector->deviceInfo());
    m_settings->setDevice(connector);
    m_imageView->setDevice(connector);
    // Network readers report structured records (address, grades, set): they fill the table;
    // the others write a text log. Local decodes and tool summaries always go to the log.
    const KxDeviceInfoMap info = connector->deviceInfo();
    const bool structured = !info.value(QStringLiteral("Ip Address")).isEmpty()
                            && info.value(QStringLiteral("offLine")) != QLatin1String("1");
    ResultOutputBaseWidget *results = structured ? static_cast<ResultOutputBaseWidget *>(m_resultTable)
                                                 : m_resultOutput;
    connect(connector.data(), &KxDeviceConnector::batBarcodeReceived, results,
            &ResultOutputBaseWidget::addBarcodeBatch, Qt::UniqueConnection);
    m_outputTabs->setTabVisible(m_outputTabs->indexOf(m_resultTable), structured);
    m_outputTabs->setCurrentWidget(structured ? static_cast<QWidget *>(m_resultTable) : m_resultOutput);
    const auto reads = m_reads;
    connect(connector.data(), &KxDeviceConnector::batBarcodeReceived, this,
            [reads](const QList<STRUCT_BARCODE_INFO> &batch, bool) {
                for (const STRUCT_BARCODE_INFO &b : batch) {
                    // Graded records carry their verdict in the grades: a read all the same.
                    if (b.goodRead || b.hasGrading) {
                        reads->add();
                        return;
                    }
                }
            });
    // Readers that cannot send images show no image view.
    m_imageView->setVisible(m_imageView->hasImageSupport());
    const QString dir = EditDeviceContext::modelDir(connector);
    auto quick = EditDeviceContext::loadPage(dir, QStringLiteral("QuickSettings.xml"));
    // A model without a quick page gets its most used settings rather than an empty dock.
    if (!quick || quick->pages.isEmpty())
        quick = QuickFallbackPage::build(dir);
    m_settings->setPages(std::move(quick));
    m_configSets->setDevice(connector);
    buildTools();
    return true;
}

QStringList QuickSettingsWidget::toolIds() const
{
    return m_toolOrder;
}

void QuickSettingsWidget::buildTools()
{
    qDeleteAll(m_tools);
    m_tools.clear();
    m_running.clear();
    m_toolOrder = QuickTools::available(QuickTools::of(m_connector));
    auto *layout = static_cast<QHBoxLayout *>(m_toolArea->layout());
    int at = 0;
    for (const QString &id : qAsConst(m_toolOrder)) {
        auto *b = new QToolButton(m_toolArea);
        b->setObjectName(id);
        b->setProperty("class", QStringLiteral("ToolButtonIconAndArrow"));
        b->setCheckable(true);
        b->setText(kxTr(QuickTools::startText(id)));
        connect(b, &QToolButton::clicked, this, &QuickSettingsWidget::OnBtnToolClicked);
        // Tools with settings offer them on the button's arrow.
        if (id == QuickTools::selfLearning()) {
            auto *menu = new QMenu(b);
            QAction *last = menu->addAction(kxTr(QStringLiteral("#IDS_SelfLearning_ShowResult")));
            last->setObjectName(QStringLiteral("actLearnResult"));
            connect(last, &QAction::triggered, this, &QuickSettingsWidget::openLearnResult);
            connect(menu, &QMenu::aboutToShow, last,
                    [this, last] { last->setEnabled(m_learnResult.valid && m_running.isEmpty()); });
            b->setMenu(menu);
            b->setPopupMode(QToolButton::MenuButtonPopup);
        }
        if (id == QuickTools::trigger() || id == QuickTools::test() || id == QuickTools::testEx()
            || id == QuickTools::autoFocus()) {
            auto *menu = new QMenu(b);
            QAction *settings = menu->addAction(kxTr(id == QuickTools::autoFocus()
                                                         ? QStringLiteral("#IDS_AutoFocusParams")
                                                         : QStringLiteral("#IDS_TestSettings")));
            settings->setObjectName(QStringLiteral("actSettings"));
            connect(settings, &QAction::triggered, this, [this, id] { openToolSettings(id); });
            if (id != QuickTools::autoFocus()) {
                QAction *summary = menu->addAction(kxTr(QStringLiteral("#IDS_TestSummary_Show")));
                summary->setObjectName(QStringLiteral("actSummary"));
                connect(summary, &QAction::triggered, this, &QuickSettingsWidget::openTestSummary);
                connect(menu, &QMenu::aboutToShow, summary,
                        [this, summary] { summary->setEnabled(!m_summary.isEmpty() && m_running.isEmpty()); });
            }
            b->setMenu(menu);
            b->setPopupMode(QToolButton::MenuButtonPopup);
        }
        layout->insertWidget(at++, b);
        m_tools.insert(id, b);
    }
    m_toolArea->setVisible(!m_toolOrder.isEmpty());
}

void QuickSettingsWidget::OnBtnToolClicked()
{
    auto *b = qobject_cast<QToolButton *>(sender());
    if (!b)
        return;
    const QString id = b->objectName();
    const bool start = b->isChecked();
    // One tool at a time: another one's click while a tool runs is undone.
    if (start && !m_running.isEmpty() && m_running != id) {
        b->setChecked(false);
        return;
    }
    if (!start && id == QuickTools::autoFocus()) {
        b->setChecked(true);  // a focus run ends by itself
        return;
    }
    if (!start && (id == QuickTools::trigger() || id == QuickTools::test() || id == QuickTools::testEx())) {
        b->setChecked(true);
        if (m_stop)
            *m_stop = true;
        return;
    }
    if (!start && id == QuickTools::selfLearning()) {
        // The worker stops the reader and ends the tool.
        b->setChecked(true);
        if (m_stop)
            *m_stop = true;
        return;
    }
    if (start) {
        m_running = id;
        b->setText(kxTr(QuickTools::stopText(id)));
    }
    if (id == QuickTools::play()) {
        m_imageView->onPlayToggled(start);
    } else if (id == QuickTools::monitor()) {
        m_imageView->OnSlotBarcodeImageViewMonitor(start, true);
        if (start)
            m_monitorCheck->start();
    } else if (id == QuickTools::autoFocus()) {
        startAutoFocus();
        return;
    } else if (id == QuickTools::selfLearning()) {
        startSelfLearning();
        return;
    } else if (id == QuickTools::trigger()) {
        startTriggerTest();
        return;
    } else if (id == QuickTools::test() || id == QuickTools::testEx()) {
        startReaderTest(id);
        return;
    }
    if (!start)
        toolEnded(id);
    else if (!m_imageView->d()->isPlaying())
        toolEnded(id);  // the view could not play (no reader)
}

void QuickSettingsWidget::OnSlotBarcodeImageViewPlay(bool bPlay)
{
    // The view's own play button, or a stop after an error, keeps the tool button true.
    for (const QString &id : {QuickTools::play(), QuickTools::monitor()}) {
        QToolButton *b = m_tools.value(id);
        if (!b)
            continue;
        if (bPlay && m_running.isEmpty()) {
            m_running = id;
            b->setChecked(true);
            b->setText(kxTr(QuickTools::stopText(id)));
        } else if (!bPlay && m_running == id) {
            toolEnded(id);
        }
    }
}

void QuickSettingsWidget::toolEnded(const QString &id)
{
    if (QToolButton *b = m_tools.value(id)) {
        b->setChecked(false);
        b->setText(kxTr(QuickTools::startText(id)));
    }
    const bool was = !m_running.isEmpty();
    if (m_running == id)
        m_running.clear();
    if (id == QuickTools::monitor())
        m_monitorCheck->stop();
    if (was && m_running.isEmpty())
        emit toolsStopped();
}

void QuickSettingsWidget::startAutoFocus()
{
    // The parameters dialog chose automatic focus, a point chosen now, or the last point again.
    const AutoFocusParamsDlg::Mode mode = AutoFocusParamsDlg::stored();
    if (mode == AutoFocusParamsDlg::Auto) {
        runFocus(QStringLiteral("#FOCAUT"), "1");
        return;
    }
    QPoint point = mode == AutoFocusParamsDlg::Alternate ? AutoFocusParamsDlg::lastPoint() : QPoint();
    if (point.isNull()) {
        SelectPointFocusDlg dlg(m_imageView->d()->lastPixmap(), m_imageView->d()->sensorSize(), this);
        if (KxDialogRunner::run(&dlg) != QDialog::Accepted || dlg.point().isNull()) {
            toolEnded(QuickTools::autoFocus());
            return;
        }
        point = dlg.point();
        AutoFocusParamsDlg::storePoint(point);
    }
    runFocus(QStringLiteral("#FOCPOT"), QStringLiteral("%1X%2Y").arg(point.x()).arg(point.y()).toLatin1());
}

void QuickSettingsWidget::runFocus(const QString &code, const QByteArray &request)
{
    KxDeviceCommand *cmd = m_connector ? m_connector->command() : nullptr;
    if (!cmd) {
        toolEnded(QuickTools::autoFocus());
        KxUi()->toast(kxTr(QStringLiteral("#IDS_AutoFocus_Failed")), 3000, this, KxMsgType::Error);
        return;
    }
    QPointer<QuickSettingsWidget> self(this);
    cmd->asyncProcess(
        [code, request](KxDeviceCommandPtr c) {
            QMap<QString, QByteArray> out;
            QByteArray value;
            // The reader moves its focus and answers when it is done; its verdict is "FOCQAT"
            // (readers without it are judged by their answer); then every value is read again,
            // so the pages show the new position.
            if (!c || c->query(1, code, value, request) != DataResult_Ack) {
                out.insert(QStringLiteral("error"), "focus");
                return out;
            }
            if (c->hasCmd(QStringLiteral("FOCQAT")) && c->query(1, QStringLiteral("#FOCQAT"), value, "*") == DataResult_Ack
                && QJsonDocument::fromJson(value).object().value(QStringLiteral("state")).toInt() != 2) {
                out.insert(QStringLiteral("error"), "unsharp");
                return out;
            }
            if (c->query(1, QStringLiteral("#FOCPOS"), value, "*") != DataResult_Ack) {
                out.insert(QStringLiteral("error"), "position");
                return out;
            }
            out.insert(QStringLiteral("FOCPOS"), value);
            c->syncSettingsEx(KxDeviceCommand::SyncRefresh);
            return out;
        },
        [self](KxDeviceCommandPtr, QMap<QString, QByteArray> result) {
            if (!self)
                return;
            self->toolEnded(QuickTools::autoFocus());
            if (result.contains(QStringLiteral("error")) || !result.contains(QStringLiteral("FOCPOS"))) {
                KxUi()->toast(kxTr(QStringLiteral("#IDS_AutoFocus_Failed")), 3000, self, KxMsgType::Error);
                return;
            }
            self->m_settings->refreshValues();
            KxUi()->toast(kxTr(QStringLiteral("#IDS_AutoFocus_Done"))
                              .arg(QString::fromUtf8(result.value(QStringLiteral("FOCPOS")))),
                          3000, self);
        });
}

bool QuickSettingsWidget::activate(const QVariant &)
{
    m_settings->refreshValues();
    return true;
}

void QuickSettingsWidget::decodeResultSlot(const QString &imageFile, bool decodeRes,
                                           const QString &decodeData, int decodeTime)
{
    if (decodeRes)
        m_resultOutput->textEdit()->appendLine(QStringLiteral("Image File:%1\r\nDecode Result:%2\r\nDecode Time:%3")
                                                   .arg(imageFile, decodeData)
                                                   .arg(decodeTime));
    else
        m_resultOutput->textEdit()->appendLine(imageFile + QStringLiteral("\r\nDecode Fail!!!"));
}

void QuickSettingsWidget::startSelfLearning()
{
    KxDeviceCommand *cmd = m_connector ? m_connector->command() : nullptr;
    if (!cmd) {
        selfLearningEnded({{QStringLiteral("error"), "reader"}});
        return;
    }
    // The number of codes wanted is the reader's number of codes per read.
    QByteArray wanted = cmd->value(QStringLiteral("MLTCNT"));
    if (wanted.toInt() < 1)
        wanted = "1";
    m_stop = std::make_shared<std::atomic_bool>(false);
    const auto stop = m_stop;
    QPointer<QuickSettingsWidget> self(this);
    // What was changed before, so the result lists only what learning changed.
    m_changesBeforeLearning.clear();
    for (const ChangedCmdInfo &c : cmd->changedCmds())
        m_changesBeforeLearning.insert(c.code, c.value);
    const bool images = cmd->hasCmd(QStringLiteral("IMGGET"));
    KxImageRequest imageRequest;
    imageRequest.format = QStringLiteral("2");
    imageRequest.quality = QStringLiteral("80");
    cmd->asyncProcess(
        [stop, wanted, images, imageRequest](KxDeviceCommandPtr c) {
            QMap<QString, QByteArray> out;
            QByteArray v;
            out.insert(QStringLiteral("wanted"), wanted);
            if (c && images) {
                const KxImageReply before = c->getImage(imageRequest);
                if (before.ok)
                    out.insert(QStringLiteral("imageBefore"), before.image);
            }
            if (!c || c->query(1, QStringLiteral("#ATLSOP"), v, wanted) != DataResult_Ack
                || c->query(1, QStringLiteral("#ATLSTP"), v, "1") != DataResult_Ack) {
                out.insert(QStringLiteral("error"), "start");
                return out;
            }
            QElapsedTimer waited;
            waited.start();
            QByteArray state;
            for (;;) {
                if (c->query(1, QStringLiteral("#ATLQLS"), state, "*") != DataResult_Ack) {
                    out.insert(QStringLiteral("error"), "state");
                    return out;
                }
                if (state != "1")
                    break;
                if (*stop || waited.elapsed() > 5 * 60 * 1000) {
                    c->query(1, QStringLiteral("#ATLSTP"), v, "0");
                    out.insert(QStringLiteral("state"), *stop ? "6" : "3");
                    return out;
                }
                QThread::msleep(10);
            }
            out.insert(QStringLiteral("state"), state);
            if (c->query(1, QStringLiteral("#ATLPAS"), v, "*") == DataResult_Ack)
                out.insert(QStringLiteral("ATLPAS"), v);
            if (c->query(1, QStringLiteral("#ATLQLP"), v, "*") == DataResult_Ack)
                out.insert(QStringLiteral("ATLQLP"), v);
            // What the reader learned shows on every page, and runs unsaved: changed commands.
            c->syncSettingsEx(KxDeviceCommand::SyncRefresh);
            c->readDifferences();
            if (state == "2" && images) {
                const KxImageReply after = c->getImage(imageRequest);
                if (after.ok)
                    out.insert(QStringLiteral("imageAfter"), after.image);
            }
            return out;
        },
        [self](KxDeviceCommandPtr, QMap<QString, QByteArray> result) {
            if (self)
                self->selfLearningEnded(result);
        });
}

void QuickSettingsWidget::selfLearningEnded(const QMap<QString, QByteArray> &result)
{
    toolEnded(QuickTools::selfLearning());
    m_stop.reset();
    const QByteArray state = result.value(QStringLiteral("state"));
    const QJsonObject pass = QJsonDocument::fromJson(result.value(QStringLiteral("ATLPAS"))).object();
    const int wanted = pass.value(QStringLiteral("BarcodeCntUser")).toInt(result.value(QStringLiteral("wanted")).toInt());
    if (result.contains(QStringLiteral("error")) || state.isEmpty()) {
        KxUi()->toast(kxTr(QStringLiteral("#IDS_SelfLearningError_Tips")), 3000, this, KxMsgType::Error);
        return;
    }
    if (state == "2") {
        const QJsonObject learned = QJsonDocument::fromJson(result.value(QStringLiteral("ATLQLP"))).object();
        QStringList lines;
        lines << kxTr(QStringLiteral("#IDS_SelfLearning_Success"))
                     .arg(pass.value(QStringLiteral("BarcodeCnt")).toInt())
                     .arg(wanted);
        lines << kxTr(QStringLiteral("#IDS_SelfLearning_Success_Result"))
                     .arg(learned.value(QStringLiteral("EXPFET")).toString(), learned.value(QStringLiteral("EXPFGN")).toString());
        const int set = learned.value(QStringLiteral("CfgLibId")).toInt();
        if (set > 0)
            lines << kxTr(QStringLiteral("#IDS_SelfLearning_InSet")).arg(set);
        m_settings->refreshValues();
        m_configSets->setDevice(m_connector);
        m_learnResult = LearnResult();
        m_learnResult.valid = true;
        m_learnResult.before = QImage::fromData(result.value(QStringLiteral("imageBefore")));
        m_learnResult.after = QImage::fromData(result.value(QStringLiteral("imageAfter")));
        if (KxDeviceCommand *cmd = m_connector ? m_connector->command() : nullptr) {
            for (const ChangedCmdInfo &c : cmd->changedCmds()) {
                // The tool's own commands run unsaved too; they are no learned setting.
                if (c.code.startsWith(QLatin1String("ATL")))
                    continue;
                if (!m_changesBeforeLearning.contains(c.code) || m_changesBeforeLearning.value(c.code) != c.value)
                    m_learnResult.changes << c;
            }
        }
        if (!m_learnResult.changes.isEmpty())
            lines << kxTr(QStringLiteral("#IDS_SelfLearning_ResultTip")).arg(m_learnResult.changes.size());
        KxUi()->toast(lines.join(QLatin1Char('\n')), 5000, this);
        return;
    }
    const QString key = state == "4" ? QStringLiteral("#IDS_SelfLearning_UnsupportBurstMode")
        : state == "5"               ? QStringLiteral("#IDS_SelfLearning_UnsupportMultiArea")
        : state == "6"               ? QStringLiteral("#IDS_SelfLearning_Stop")
                                     : QStringLiteral("#IDS_SelfLearning_Failed");
    QString text = kxTr(key);
    if (key == QLatin1String("#IDS_SelfLearning_Failed"))
        text = text.arg(wanted);
    KxUi()->toast(text, 5000, this, state == "6" ? KxMsgType::Information : KxMsgType::Warning);
}

void QuickSettingsWidget::startTriggerTest()
{
    KxDeviceCommand *cmd = m_connector ? m_connector->command() : nullptr;
    if (!cmd) {
        triggerTestEnded({{QStringLiteral("error"), "reader"}});
        return;
    }
    // 0 (or less): until stopped.
    const int times = KxSettings::instance()
                          ->value(QStringLiteral("TestTrigger"), QStringLiteral("NumberOfTimes"), 3000)
                          .toInt();
    // The stored matching level goes to the reader when it has another one.
    QByteArray match;
    if (cmd->hasCmd(QStringLiteral("CCFBML"))) {
        match = QuickTestPlan::triggerMatch(QuickTestPlan::load(QuickTestPlan::triggerGroup()).level);
        if (cmd->rawValue(QStringLiteral("CCFBML")) == match)
            match.clear();
    }
    m_stop = std::make_shared<std::atomic_bool>(false);
    const auto stop = m_stop;
    const auto reads = m_reads;
    QPointer<KxDeviceConnector> connector = m_connector;
    QPointer<QuickSettingsWidget> self(this);
    cmd->asyncProcess(
        [stop, reads, times, connector, match](KxDeviceCommandPtr c) {
            QMap<QString, QByteArray> out;
            int fired = 0, good = 0, timedOut = 0;
            QByteArray set;
            if (c && !match.isEmpty() && c->query(1, QStringLiteral("@CCFBML"), set, match) != DataResult_Ack) {
                out.insert(QStringLiteral("error"), "settings");
                return out;
            }
            QByteArrayList ms;
            while (!*stop && (times < 1 || fired < times)) {
                // The reader's offline state ends the test as a stop does.
                if (!c || !connector) {
                    out.insert(QStringLiteral("error"), "reader");
                    break;
                }
                const int seen = reads->count.load();
                QElapsedTimer t;
                t.start();
                QByteArray answer;
                if (c->query(1, QStringLiteral("@SCNITG"), answer) != DataResult_Ack) {
                    out.insert(QStringLiteral("error"), "trigger");
                    break;
                }
                ++fired;
                // The reader's answer is its read time; a result gets that and 2 s more.
                const qint64 allowance = qMax(0, answer.toInt()) + 2000;
                while (reads->count.load() == seen && t.elapsed() < allowance && !*stop)
                    reads->waitPast(seen, 10);
                if (reads->count.load() != seen) {
                    ++good;
                    ms << QByteArray::number(t.elapsed());
                } else if (!*stop) {
                    ++timedOut;
                }
            }
            out.insert(QStringLiteral("fired"), QByteArray::number(fired));
            out.insert(QStringLiteral("good"), QByteArray::number(good));
            out.insert(QStringLiteral("timedOut"), QByteArray::number(timedOut));
            out.insert(QStringLiteral("ms"), ms.join(','));
            return out;
        },
        [self](KxDeviceCommandPtr, QMap<QString, QByteArray> result) {
            if (self)
                self->triggerTestEnded(result);
        });
}

void QuickSettingsWidget::triggerTestEnded(const QMap<QString, QByteArray> &result)
{
    toolEnded(QuickTools::trigger());
    m_stop.reset();
    const int fired = result.value(QStringLiteral("fired")).toInt();
    const int good = result.value(QStringLiteral("good")).toInt();
    const int timedOut = result.value(QStringLiteral("timedOut")).toInt();
    QStringList lines;
    if (result.contains(QStringLiteral("error")))
        lines << kxTr(QStringLiteral("#IDS_TriggerTest_Error"));
    if (fired > 0) {
        // Answered triggers only: one cut short by a stop counts neither way.
        const int answered = good + timedOut;
        lines << kxTr(QStringLiteral("#IDS_TriggerTest_Summary"))
                     .arg(fired)
                     .arg(good)
                     .arg(timedOut)
                     .arg(answered ? QString::number(100.0 * good / answered, 'f', 1) : QStringLiteral("-"));
        QList<int> ms;
        for (const QByteArray &m : result.value(QStringLiteral("ms")).split(',')) {
            if (!m.isEmpty())
                ms << m.toInt();
        }
        std::sort(ms.begin(), ms.end());
        if (!ms.isEmpty())
            lines << kxTr(QStringLiteral("#IDS_TriggerTest_Times")).arg(ms.first()).arg(ms[ms.size() / 2]).arg(ms.last());
    }
    m_summary = QuickTestSummary();
    m_summary.title = kxTr(QStringLiteral("#IDS_StartTrigger"));
    m_summary.attempts = fired;
    m_summary.good = good;
    m_summary.noRead = timedOut;
    for (const QByteArray &m : result.value(QStringLiteral("ms")).split(',')) {
        if (!m.isEmpty())
            m_summary.times << m.toDouble();
    }
    if (lines.isEmpty())
        return;
    m_resultOutput->textEdit()->appendLines(lines);
    KxUi()->toast(lines.join(QLatin1Char('\n')), 5000, this,
                  result.contains(QStringLiteral("error")) ? KxMsgType::Error : KxMsgType::Information);
}

void QuickSettingsWidget::openTestSummary()
{
    if (m_summary.isEmpty() || !m_running.isEmpty())
        return;
    QuickTestSummaryDlg dlg(m_summary, this);
    KxDialogRunner::run(&dlg);
}

void QuickSettingsWidget::openLearnResult()
{
    if (!m_learnResult.valid || !m_running.isEmpty())
        return;
    SelfLearningResultDlg dlg(m_connector, m_learnResult.before, m_learnResult.after, m_learnResult.changes, this);
    // An undone setting is no longer the learned one: the pages show the reader's value again.
    connect(&dlg, &SelfLearningResultDlg::undone, this, [this](const QString &, bool ok) {
        if (ok)
            m_settings->refreshValues();
    });
    KxDialogRunner::run(&dlg);
}

bool QuickSettingsWidget::isBusy()
{
    return !m_running.isEmpty() || m_imageView->d()->isPlaying();
}

bool QuickSettingsWidget::stopBusy()
{
    m_imageView->onPlayToggled(false);
    if (m_running == QuickTools::play() || m_running == QuickTools::monitor())
        toolEnded(m_running);
    // A learning run is asked to stop; it and a focus run end with the reader's answer.
    if ((m_running == QuickTools::selfLearning() || m_running == QuickTools::trigger()
         || m_running == QuickTools::test() || m_running == QuickTools::testEx())
        && m_stop)
        *m_stop = true;
    return m_running.isEmpty();
}

bool QuickSettingsWidget::closing(const QVariant &)
{
    // The frame releases the reader right after this: a worker still running would find the
    // link gone before it could tell the reader to stop, and the reader would go on testing.
    stopBusy();
    waitForToolEnd(kLeaveWaitMs);
    return m_running.isEmpty();
}

void QuickSettingsWidget::waitForToolEnd(int ms)
{
    if (m_running.isEmpty())
        return;
    QEventLoop loop;
    connect(this, &QuickSettingsWidget::toolsStopped, &loop, &QEventLoop::quit);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    // Paints and replies go on; clicks wait, so nothing starts while the page goes.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

bool QuickSettingsWidget::deactivate(const QVariant &)
{
    stopBusy();
    return true;
}

void QuickSettingsWidget::locate(const QVariant &item)
{
    const QVariantMap where = item.toMap();
    QString pageId = where.value(QStringLiteral("pageId")).toString();
    if (pageId.isEmpty()) {
        const KxItemInfo *info = item.value<KxItemInfo *>();
        if (info && m_settings->pages()) {
            for (const KxPageInfo *p : m_settings->pages()->pages) {
                if (p->findItem(info->id))
                    pageId = p->id;
            }
        }
    }
    if (!pageId.isEmpty()) {
        m_tabs->setCurrentWidget(m_settings);
        m_settings->setCurrentPage(pageId);
    }
}

void QuickSettingsWidget::OnSlotConfigLibStreamMode(bool)
{
    // The configuration-set box follows the stream mode once it exists.
}
