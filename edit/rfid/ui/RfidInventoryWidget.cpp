#include "RfidInventoryWidget.h"

#include "DeviceCardWidget.h"
#include "KxDataStreamMaker.h"
#include "KxDeviceCommand.h"
#include "KxDeviceConnector.h"
#include "KxDeviceKit.h"
#include "KxI18nUtil.h"
#include "KxLoginedDevicesManage.h"
#include "KxStyledButtons.h"
#include "KxUiService.h"
#include "RfidTagModel.h"

#include <QComboBox>
#include <QDebug>
#include <QDateTime>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

#include <memory>

using KxRfidMemory::Reply;

namespace {
// Memory and inventory requests answer at once on a working reader; a reader that does not
// answer within this is reported as such instead of holding the worker for a minute.
constexpr int kRequestTimeoutMs = 5000;
constexpr int kPollMs = 1000;

const char *const kPanelStyle = ".QWidget{background-color:#ffffff; border-radius:3px;}";

Reply sendText(const KxDeviceCommandPtr &cmd, const QByteArray &text)
{
    const QByteArray frame = KxMakeDataStreamCmd(text, DataProtocol_Settings, true);
    QByteArray reply;
    if (!cmd || frame.isEmpty()
        || KxDeviceKit::Instance()->sendBinaryMessage(cmd->deviceId(), frame, reply, kRequestTimeoutMs) != 0)
        return Reply();
    return KxRfidMemory::parseReply(reply, QString::fromLatin1(text.mid(1, 6)));
}

QMap<QString, QByteArray> toMap(const Reply &r)
{
    return {{QStringLiteral("answered"), r.answered ? "1" : "0"},
            {QStringLiteral("ok"), r.ok ? "1" : "0"},
            {QStringLiteral("value"), r.value},
            {QStringLiteral("reason"), r.reason.toLatin1()}};
}

Reply fromMap(const QMap<QString, QByteArray> &m)
{
    Reply r;
    r.answered = m.value(QStringLiteral("answered")) == "1";
    r.ok = m.value(QStringLiteral("ok")) == "1";
    r.value = m.value(QStringLiteral("value"));
    r.reason = QString::fromLatin1(m.value(QStringLiteral("reason")));
    return r;
}

QString failureText(const Reply &r)
{
    return r.answered ? kxTr(KxRfidMemory::reasonKey(r.reason)) : kxTr(QStringLiteral("#IDS_Rfid_Err_NoAnswer"));
}

QLabel *caption(const QString &key, QWidget *parent)
{
    auto *l = new QLabel(kxTr(key), parent);
    l->setStyleSheet(QStringLiteral("font-size:13px; color:#595959;"));
    return l;
}
} // namespace

RfidInventoryWidget::RfidInventoryWidget(QWidget *parent) : IPluginWidget(parent)
{
    setObjectName(QStringLiteral("RfidInventoryWidget"));
    m_model = new RfidTagModel(this);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(12);

    auto *left = new QWidget(this);
    left->setFixedWidth(250);
    auto *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->setSpacing(12);
    m_card = new DeviceCardWidget(left);
    leftLayout->addWidget(m_card);
    leftLayout->addWidget(buildControls(), 1);
    layout->addWidget(left);

    auto *right = new QWidget(this);
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(12);
    m_view = new QTableView(right);
    m_view->setObjectName(QStringLiteral("tableTags"));
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->verticalHeader()->setVisible(false);
    m_view->verticalHeader()->setDefaultSectionSize(24);
    m_view->setAlternatingRowColors(true);
    m_view->setStyleSheet(QStringLiteral("QTableView{background:#ffffff; border:1px solid #dbdbdb; font-size:13px;}"));
    // Fixed widths: measuring a thousand changing rows on every refresh would stall the window.
    QHeaderView *h = m_view->horizontalHeader();
    h->setSectionResizeMode(QHeaderView::Fixed);
    const int widths[] = {56, 260, 80, 90, 70, 110, 110};
    for (int c = 0; c < RfidTagModel::Col_Count_; ++c)
        h->resizeSection(c, widths[c]);
    h->setSectionResizeMode(RfidTagModel::Col_Epc, QHeaderView::Stretch);
    // A click on a column's title sorts by it (again: the other way); first-seen order at start.
    h->setSortIndicator(RfidTagModel::Col_No, Qt::AscendingOrder);
    m_view->setSortingEnabled(true);
    rightLayout->addWidget(m_view, 1);
    rightLayout->addWidget(buildMemoryPanel());
    layout->addWidget(right, 1);

    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                const QByteArray before = m_selected;
                if (current.isValid())
                    m_selected = m_model->epcAt(current.row());
                m_tagLabel->setText(m_selected.isEmpty() ? kxTr(QStringLiteral("#IDS_Rfid_NoTagChosen"))
                                                         : QString::fromLatin1(m_selected.toHex().toUpper()));
                m_read->setEnabled(!m_selected.isEmpty() && !m_memoryBusy);
                m_write->setEnabled(!m_selected.isEmpty() && !m_memoryBusy);
                if (m_selected.size() != before.size())
                    fillWholeBank();
            });
    connect(m_model, &RfidTagModel::rebuilt, this, [this] {
        if (!m_selected.isEmpty())
            selectEpc(m_selected);
    });
    m_pollTimer.setInterval(kPollMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &RfidInventoryWidget::poll);
    m_figureTimer.setInterval(500);
    connect(&m_figureTimer, &QTimer::timeout, this, &RfidInventoryWidget::updateFigures);
    setState(State::Stopped);
}

QWidget *RfidInventoryWidget::buildControls()
{
    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("widgetInventoryControls"));
    panel->setStyleSheet(QLatin1String(kPanelStyle));
    auto *v = new QVBoxLayout(panel);
    v->setContentsMargins(12, 12, 12, 12);
    v->setSpacing(8);
    m_startStop = new KxPushButton(QStringLiteral("#IDS_Rfid_Start"), KxPushButton::Primary, panel);
    m_startStop->setObjectName(QStringLiteral("btnInventory"));
    m_startStop->setMinimumHeight(32);
    connect(m_startStop, &QPushButton::clicked, this, &RfidInventoryWidget::onStartStopClicked);
    v->addWidget(m_startStop);
    m_status = new QLabel(panel);
    m_status->setObjectName(QStringLiteral("labInventoryState"));
    v->addWidget(m_status);
    m_figures = new QLabel(panel);
    m_figures->setObjectName(QStringLiteral("labFigures"));
    m_figures->setWordWrap(true);
    m_figures->setStyleSheet(QStringLiteral("font-size:13px; color:#1f1f1f;"));
    v->addWidget(m_figures);

    v->addSpacing(8);
    v->addWidget(caption(QStringLiteral("#IDS_Rfid_Filters"), panel));
    auto *form = new QFormLayout;
    form->setContentsMargins(0, 0, 0, 0);
    form->setSpacing(6);
    m_epcFilter = new QLineEdit(panel);
    m_epcFilter->setObjectName(QStringLiteral("editEpcFilter"));
    m_epcFilter->setPlaceholderText(kxTr(QStringLiteral("#IDS_Rfid_EpcFilterTip")));
    m_epcFilter->setClearButtonEnabled(true);
    m_antennaFilter = new QComboBox(panel);
    m_antennaFilter->setObjectName(QStringLiteral("comboAntennaFilter"));
    m_antennaFilter->addItem(kxTr(QStringLiteral("#IDS_Rfid_AnyAntenna")), 0);
    for (int a = 1; a <= 4; ++a)
        m_antennaFilter->addItem(QString::number(a), a);
    m_rssiFilter = new QSpinBox(panel);
    m_rssiFilter->setObjectName(QStringLiteral("spinRssiFilter"));
    m_rssiFilter->setRange(-128, 0);
    m_rssiFilter->setValue(-128);
    m_rssiFilter->setSuffix(QStringLiteral(" dBm"));
    m_rssiFilter->setSpecialValueText(kxTr(QStringLiteral("#IDS_Rfid_AnyRssi")));
    form->addRow(caption(QStringLiteral("#IDS_Rfid_ColEpc"), panel), m_epcFilter);
    form->addRow(caption(QStringLiteral("#IDS_Rfid_ColAntenna"), panel), m_antennaFilter);
    form->addRow(caption(QStringLiteral("#IDS_Rfid_MinRssi"), panel), m_rssiFilter);
    v->addLayout(form);
    connect(m_epcFilter, &QLineEdit::textChanged, this, &RfidInventoryWidget::applyFilter);
    connect(m_antennaFilter, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &RfidInventoryWidget::applyFilter);
    connect(m_rssiFilter, QOverload<int>::of(&QSpinBox::valueChanged), this, &RfidInventoryWidget::applyFilter);

    v->addSpacing(8);
    auto *row = new QHBoxLayout;
    auto *clear = new KxPushButton(QStringLiteral("#IDS_Clear"), KxPushButton::Normal, panel);
    clear->setObjectName(QStringLiteral("btnClearTags"));
    connect(clear, &QPushButton::clicked, this, &RfidInventoryWidget::clearTags);
    auto *exportBtn = new KxPushButton(QStringLiteral("#IDS_Export"), KxPushButton::Normal, panel);
    exportBtn->setObjectName(QStringLiteral("btnExportTags"));
    connect(exportBtn, &QPushButton::clicked, this, &RfidInventoryWidget::exportTags);
    row->addWidget(clear);
    row->addWidget(exportBtn);
    v->addLayout(row);
    v->addStretch(1);
    return panel;
}

QWidget *RfidInventoryWidget::buildMemoryPanel()
{
    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("widgetTagMemory"));
    panel->setStyleSheet(QLatin1String(kPanelStyle));
    auto *v = new QVBoxLayout(panel);
    v->setContentsMargins(12, 10, 12, 10);
    v->setSpacing(8);
    auto *top = new QHBoxLayout;
    top->addWidget(caption(QStringLiteral("#IDS_Rfid_TagMemory"), panel));
    m_tagLabel = new QLabel(kxTr(QStringLiteral("#IDS_Rfid_NoTagChosen")), panel);
    m_tagLabel->setObjectName(QStringLiteral("labChosenTag"));
    m_tagLabel->setStyleSheet(QStringLiteral("font-size:13px; font-weight:bold; color:#0c3484;"));
    m_tagLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    top->addWidget(m_tagLabel, 1);
    v->addLayout(top);

    auto *fields = new QHBoxLayout;
    fields->setSpacing(8);
    m_bank = new QComboBox(panel);
    m_bank->setObjectName(QStringLiteral("comboBank"));
    for (const char *key : {"#IDS_Rfid_BankReserved", "#IDS_Rfid_BankEpc", "#IDS_Rfid_BankTid", "#IDS_Rfid_BankUser"})
        m_bank->addItem(kxTr(QLatin1String(key)), m_bank->count());
    m_bank->setCurrentIndex(KxRfidMemory::Bank_User);
    m_pointer = new QSpinBox(panel);
    m_pointer->setObjectName(QStringLiteral("spinWordPointer"));
    m_pointer->setRange(0, 255);
    m_count = new QSpinBox(panel);
    m_count->setObjectName(QStringLiteral("spinWordCount"));
    m_count->setRange(1, 64);
    fields->addWidget(caption(QStringLiteral("#IDS_Rfid_Bank"), panel));
    fields->addWidget(m_bank);
    fields->addWidget(caption(QStringLiteral("#IDS_Rfid_WordPointer"), panel));
    fields->addWidget(m_pointer);
    fields->addWidget(caption(QStringLiteral("#IDS_Rfid_WordCount"), panel));
    fields->addWidget(m_count);
    m_read = new KxPushButton(QStringLiteral("#IDS_Rfid_Read"), KxPushButton::Normal, panel);
    m_read->setObjectName(QStringLiteral("btnReadBank"));
    fields->addWidget(m_read);
    fields->addStretch(1);
    v->addLayout(fields);
    connect(m_bank, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &RfidInventoryWidget::fillWholeBank);

    auto *data = new QHBoxLayout;
    data->setSpacing(8);
    data->addWidget(caption(QStringLiteral("#IDS_Rfid_Data"), panel));
    m_data = new QLineEdit(panel);
    m_data->setObjectName(QStringLiteral("editBankData"));
    m_data->setPlaceholderText(kxTr(QStringLiteral("#IDS_Rfid_DataTip")));
    m_data->setStyleSheet(QStringLiteral("font-family:monospace;"));
    data->addWidget(m_data, 1);
    m_write = new KxPushButton(QStringLiteral("#IDS_Rfid_Write"), KxPushButton::Primary, panel);
    m_write->setObjectName(QStringLiteral("btnWriteBank"));
    data->addWidget(m_write);
    v->addLayout(data);
    m_memoryMessage = new QLabel(panel);
    m_memoryMessage->setObjectName(QStringLiteral("labMemoryMessage"));
    m_memoryMessage->setWordWrap(true);
    v->addWidget(m_memoryMessage);
    connect(m_read, &QPushButton::clicked, this, &RfidInventoryWidget::readBank);
    connect(m_write, &QPushButton::clicked, this, &RfidInventoryWidget::writeBank);
    m_read->setEnabled(false);
    m_write->setEnabled(false);
    fillWholeBank();
    return panel;
}

bool RfidInventoryWidget::openDeviceById(const QString &deviceId, const QVariant &param)
{
    return openDevice(KxLoginedDevicesManage::instance()->device(deviceId), param);
}

bool RfidInventoryWidget::openDevice(QPointer<KxDeviceConnector> connector, const QVariant &)
{
    if (!connector || !connector->command())
        return false;
    if (connector == m_connector)
        return true;
    disconnect(m_tagsLink);
    m_connector = connector;
    m_card->setDevice(connector->deviceId(), connector->deviceInfo());
    m_tagsLink = connect(connector.data(), &KxDeviceConnector::tagsReceived, this,
                         &RfidInventoryWidget::onTagsReceived);
    m_figureTimer.start();
    // An inventory may already run (started by another client or before a restart of this one).
    poll();
    return true;
}

void RfidInventoryWidget::onTagsReceived(const QList<STRUCT_TAG_INFO> &tags)
{
    m_model->addTags(tags);
    // Tags while nothing runs here: another client may have started one; ask (one at a time).
    if (m_state == State::Stopped)
        poll();
}

void RfidInventoryWidget::runRequest(const QByteArray &text, const std::function<void(const Reply &)> &done)
{
    KxDeviceCommand *cmd = m_connector ? m_connector->command() : nullptr;
    if (!cmd) {
        done(Reply());
        return;
    }
    qInfo().noquote() << "RfidInventoryWidget::runRequest()..." << text;
    QPointer<RfidInventoryWidget> self(this);
    cmd->asyncProcess([text](KxDeviceCommandPtr c) { return toMap(sendText(c, text)); },
                      [self, done](KxDeviceCommandPtr, QMap<QString, QByteArray> r) {
                          if (self)
                              done(fromMap(r));
                      });
}

void RfidInventoryWidget::setState(State s)
{
    m_state = s;
    static const char *const keys[] = {"#IDS_Rfid_Stopped", "#IDS_Rfid_Starting", "#IDS_Rfid_Running",
                                       "#IDS_Rfid_Stopping"};
    m_status->setText(kxTr(QLatin1String(keys[int(s)])));
    m_status->setStyleSheet(s == State::Running ? QStringLiteral("font-size:13px; color:#389e0d; font-weight:bold;")
                                                : QStringLiteral("font-size:13px; color:#595959;"));
    m_startStop->setTextKey(isRunning() ? QStringLiteral("#IDS_Rfid_Stop") : QStringLiteral("#IDS_Rfid_Start"));
    m_startStop->setKind(isRunning() ? KxPushButton::Danger : KxPushButton::Primary);
    m_startStop->setEnabled(s == State::Stopped || s == State::Running);
    if (s == State::Running)
        m_pollTimer.start();
    else if (s == State::Stopped)
        m_pollTimer.stop();
    emit stateChanged(s);
}

void RfidInventoryWidget::onStartStopClicked()
{
    if (m_state == State::Stopped)
        startInventory();
    else if (m_state == State::Running)
        stopInventory(kRequestTimeoutMs + 1000);
}

void RfidInventoryWidget::startInventory()
{
    if (!m_connector || m_state != State::Stopped)
        return;
    setState(State::Starting);
    m_lastReads = m_model->table().totalReads();
    m_lastMs = QDateTime::currentMSecsSinceEpoch();
    runRequest("#URFINV1", [this](const Reply &r) {
        if (m_state != State::Starting)
            return;
        setState(r.ok ? State::Running : State::Stopped);
        if (!r.ok)
            KxUi()->error(kxTr(QStringLiteral("#IDS_Rfid_StartFailed")).arg(failureText(r)),
                          QStringLiteral("#IDS_Tips"), this);
    });
}

void RfidInventoryWidget::stopInventory(int timeoutMs, std::function<void(bool)> done)
{
    if (m_state == State::Stopped) {
        if (done)
            done(true);
        return;
    }
    setState(State::Stopping);
    const int ticket = ++m_stopTicket;
    auto finished = std::make_shared<bool>(false);
    auto finish = [this, ticket, finished, done](bool ok, bool answered) {
        if (*finished)
            return;
        *finished = true;
        // A stop the reader refused leaves the inventory running; no answer: the next poll tells.
        if (ticket == m_stopTicket && m_state == State::Stopping)
            setState(ok || !answered ? State::Stopped : State::Running);
        if (done)
            done(ok);
    };
    runRequest("#URFINV0", [finish](const Reply &r) { finish(r.ok, r.answered); });
    QTimer::singleShot(timeoutMs, this, [finish] { finish(false, false); });
}

void RfidInventoryWidget::stopInventoryNow()
{
    if (m_state == State::Stopped || !m_connector)
        return;
    // Straight onto the link without waiting: the worker may be gone before it got to a job.
    m_connector->sendAsync(nullptr, QStringLiteral("#URFINV"), DataProtocol_Settings, "0", {});
    setState(State::Stopped);
}

bool RfidInventoryWidget::stopBusy()
{
    stopInventoryNow();
    return true;
}

bool RfidInventoryWidget::closing(const QVariant &)
{
    stopInventoryNow();
    disconnect(m_tagsLink);
    m_figureTimer.stop();
    return true;
}

void RfidInventoryWidget::poll()
{
    if (m_pollBusy || !m_connector)
        return;
    m_pollBusy = true;
    runRequest("@URFINV*", [this](const Reply &r) {
        m_pollBusy = false;
        if (!r.ok)
            return;
        const bool running = r.value == "1";
        // An inventory with a set number of rounds ends on its own.
        if (running && m_state == State::Stopped)
            setState(State::Running);
        else if (!running && m_state == State::Running)
            setState(State::Stopped);
    });
}

void RfidInventoryWidget::updateFigures()
{
    const qint64 reads = m_model->table().totalReads();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now > m_lastMs) {
        const double instant = double(reads - m_lastReads) * 1000.0 / double(now - m_lastMs);
        m_rate = isRunning() ? instant : 0;
    }
    m_lastReads = reads;
    m_lastMs = now;
    m_figures->setText(kxTr(QStringLiteral("#IDS_Rfid_Figures"))
                           .arg(m_model->table().size())
                           .arg(reads)
                           .arg(qRound(m_rate)));
}

void RfidInventoryWidget::applyFilter()
{
    KxTagTable::Filter f;
    f.epc = m_epcFilter->text().remove(QLatin1Char(' '));
    f.antenna = m_antennaFilter->currentData().toInt();
    f.minRssi = m_rssiFilter->value();
    m_model->setFilter(f);
}

void RfidInventoryWidget::clearTags()
{
    m_model->clear();
    m_selected.clear();
    m_tagLabel->setText(kxTr(QStringLiteral("#IDS_Rfid_NoTagChosen")));
    m_read->setEnabled(false);
    m_write->setEnabled(false);
    m_lastReads = 0;
    updateFigures();
}

QByteArray RfidInventoryWidget::selectedEpc() const
{
    return m_selected;
}

bool RfidInventoryWidget::selectEpc(const QByteArray &epc)
{
    m_model->refresh();
    const int row = m_model->viewRowOf(epc);
    if (row < 0)
        return false;
    m_view->setCurrentIndex(m_model->index(row, RfidTagModel::Col_Epc));
    m_view->scrollTo(m_model->index(row, RfidTagModel::Col_Epc));
    return true;
}

void RfidInventoryWidget::fillWholeBank()
{
    const int bank = m_bank->currentData().toInt();
    const int epcBytes = m_selected.isEmpty() ? 12 : m_selected.size();
    m_pointer->setValue(bank == KxRfidMemory::Bank_Epc ? 2 : 0);
    m_count->setValue(KxRfidMemory::bankWords(bank, epcBytes) - (bank == KxRfidMemory::Bank_Epc ? 2 : 0));
}

QString RfidInventoryWidget::memoryMessage() const
{
    return m_memoryMessage->text();
}

void RfidInventoryWidget::showMemoryMessage(const QString &text, bool error)
{
    m_memoryMessage->setText(text);
    m_memoryMessage->setStyleSheet(error ? QStringLiteral("font-size:13px; color:#cf1322;")
                                         : QStringLiteral("font-size:13px; color:#389e0d;"));
}

void RfidInventoryWidget::readBank()
{
    if (m_selected.isEmpty() || m_memoryBusy)
        return;
    const QByteArray epc = m_selected;
    const int bank = m_bank->currentData().toInt();
    const int count = m_count->value();
    m_memoryBusy = true;
    m_read->setEnabled(false);
    m_write->setEnabled(false);
    showMemoryMessage(kxTr(QStringLiteral("#IDS_Rfid_Working")), false);
    runRequest(KxRfidMemory::readRequest(epc, bank, m_pointer->value(), count), [this, count](const Reply &r) {
        m_memoryBusy = false;
        m_read->setEnabled(!m_selected.isEmpty());
        m_write->setEnabled(!m_selected.isEmpty());
        if (!r.ok) {
            showMemoryMessage(kxTr(QStringLiteral("#IDS_Rfid_ReadFailed")).arg(failureText(r)), true);
            return;
        }
        m_data->setText(KxRfidMemory::formatWords(r.value));
        showMemoryMessage(kxTr(QStringLiteral("#IDS_Rfid_ReadDone")).arg(count), false);
    });
}

void RfidInventoryWidget::writeBank()
{
    if (m_selected.isEmpty() || m_memoryBusy || !m_connector || !m_connector->command())
        return;
    QByteArray hex;
    if (!KxRfidMemory::parseWords(m_data->text(), &hex)) {
        showMemoryMessage(kxTr(QStringLiteral("#IDS_Rfid_BadWords")), true);
        return;
    }
    const QByteArray epc = m_selected;
    const int bank = m_bank->currentData().toInt();
    const int pointer = m_pointer->value();
    m_memoryBusy = true;
    m_read->setEnabled(false);
    m_write->setEnabled(false);
    showMemoryMessage(kxTr(QStringLiteral("#IDS_Rfid_Working")), false);
    qInfo().noquote() << "RfidInventoryWidget::writeBank()..." << epc.toHex() << bank << pointer << hex;
    QPointer<RfidInventoryWidget> self(this);
    // The write and its read-back run as one job, so nothing else reaches the tag in between.
    m_connector->command()->asyncProcess(
        [epc, bank, pointer, hex](KxDeviceCommandPtr c) {
            QMap<QString, QByteArray> out = toMap(sendText(c, KxRfidMemory::writeRequest(epc, bank, pointer, hex)));
            if (out.value(QStringLiteral("ok")) != "1")
                return out;
            const QByteArray renamed = KxRfidMemory::epcAfterWrite(epc, bank, pointer, hex);
            const Reply back = sendText(c, KxRfidMemory::readRequest(renamed, bank, pointer, hex.size() / 4));
            out.insert(QStringLiteral("epc"), renamed);
            out.insert(QStringLiteral("readback"), back.ok ? back.value : QByteArray());
            out.insert(QStringLiteral("readbackReason"), back.answered ? back.reason.toLatin1() : "?");
            return out;
        },
        [self, hex](KxDeviceCommandPtr, QMap<QString, QByteArray> m) {
            if (!self)
                return;
            self->m_memoryBusy = false;
            self->m_read->setEnabled(!self->m_selected.isEmpty());
            self->m_write->setEnabled(!self->m_selected.isEmpty());
            const Reply w = fromMap(m);
            if (!w.ok) {
                self->showMemoryMessage(kxTr(QStringLiteral("#IDS_Rfid_WriteFailed")).arg(failureText(w)), true);
                return;
            }
            const QByteArray back = m.value(QStringLiteral("readback"));
            if (back != hex) {
                self->showMemoryMessage(kxTr(QStringLiteral("#IDS_Rfid_WriteUnverified"))
                                            .arg(KxRfidMemory::formatWords(hex),
                                                 back.isEmpty() ? QStringLiteral("-") : KxRfidMemory::formatWords(back)),
                                        true);
                return;
            }
            const QByteArray renamed = m.value(QStringLiteral("epc"));
            self->m_data->setText(KxRfidMemory::formatWords(back));
            if (renamed != self->m_selected) {
                // The tag answers to its new EPC from now on; the next inventory lists it so.
                self->m_selected = renamed;
                self->m_tagLabel->setText(QString::fromLatin1(renamed.toHex().toUpper()));
                self->selectEpc(renamed);
            }
            self->showMemoryMessage(kxTr(QStringLiteral("#IDS_Rfid_WriteVerified")).arg(hex.size() / 4), false);
        });
}

void RfidInventoryWidget::exportTags()
{
    if (m_model->visibleRows().isEmpty()) {
        KxUi()->toast(QStringLiteral("#IDS_Rfid_NothingToExport"), 3000, this);
        return;
    }
    QString path = KxUi()->getSaveFileName(QStringLiteral("#IDS_Export"), QStringLiteral("tags.xlsx"),
                                           QStringLiteral("Excel (*.xlsx)"), this);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().compare(QLatin1String("xlsx"), Qt::CaseInsensitive) != 0)
        path += QStringLiteral(".xlsx");
    QString error;
    if (!m_model->table().exportXlsx(path, m_model->visibleRows(), &error)) {
        qWarning() << "RfidInventoryWidget::exportTags()..." << error;
        KxUi()->error(QStringLiteral("#IDS_ExportExcel_Failed"), QStringLiteral("#IDS_Tips"), this);
        return;
    }
    KxUi()->toast(QStringLiteral("#IDS_ExportExcel_Success"), 3000, this);
}
