#include "SendCmdDlg.h"

#include "KxConfig.h"
#include "KxDeviceCommand.h"
#include "KxDeviceKit.h"
#include "KxI18nUtil.h"
#include "KxSettings.h"
#include "KxUiService.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QVBoxLayout>

namespace {
QCheckBox *check(const QString &key, QWidget *parent, bool on = false)
{
    auto *c = new QCheckBox(kxTr(key), parent);
    c->setObjectName(key);
    c->setChecked(on);
    return c;
}
}  // namespace

SendCmdDlg::SendCmdDlg(KxDeviceCommand *command, QWidget *parent)
    : NDialogEx(parent), m_command(command)
{
    setTitle(QStringLiteral("#IDS_CmdInteraction"));
    buildUi();
    loadHistoryCmds();
}

SendCmdDlg::~SendCmdDlg()
{
    saveHistoryCmds();
}

void SendCmdDlg::buildUi()
{
    auto *lay = new QVBoxLayout(contentWidget());
    m_target = new QComboBox(contentWidget());
    m_target->addItem(QStringLiteral("Reader"), 0);
    m_target->addItem(QStringLiteral("COM"), 1);
    m_target->setEnabled(m_command != nullptr);
    if (!m_command)
        m_target->setCurrentIndex(1);
    lay->addWidget(m_target);
    lay->addWidget(buildSerialBox());

    auto *opts = new QHBoxLayout;
    m_hexDisplay = check(QStringLiteral("#IDS_HexDisplay"), contentWidget());
    m_headTail = check(QStringLiteral("#IDS_DisplayHeadAndTail"), contentWidget(), true);
    m_tags = check(QStringLiteral("#IDS_DisplayReqRspTags"), contentWidget(), true);
    m_hexSend = check(QStringLiteral("#IDS_HexSend"), contentWidget());
    m_parse = check(QStringLiteral("#IDS_DataParse"), contentWidget());
    for (QCheckBox *c : {m_hexDisplay, m_headTail, m_tags, m_hexSend, m_parse})
        opts->addWidget(c);
    lay->addLayout(opts);

    m_log = new QPlainTextEdit(contentWidget());
    m_log->setReadOnly(true);
    m_log->setMaximumBlockCount(5000);
    lay->addWidget(m_log, 1);

    auto *row = new QHBoxLayout;
    m_input = new QComboBox(contentWidget());
    m_input->setEditable(true);
    m_input->setInsertPolicy(QComboBox::NoInsert);
    m_input->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto *btnSend = new QPushButton(kxTr(QStringLiteral("#IDS_Send")), contentWidget());
    auto *btnClear = new QPushButton(kxTr(QStringLiteral("#IDS_Clear")), contentWidget());
    auto *btnSave = new QPushButton(kxTr(QStringLiteral("#IDS_SaveLog")), contentWidget());
    row->addWidget(m_input);
    row->addWidget(btnSend);
    row->addWidget(btnClear);
    row->addWidget(btnSave);
    lay->addLayout(row);
    connect(btnSend, &QPushButton::clicked, this, [this] { sendText(m_input->currentText()); });
    connect(btnClear, &QPushButton::clicked, m_log, &QPlainTextEdit::clear);
    connect(btnSave, &QPushButton::clicked, this, &SendCmdDlg::saveLog);
    resize(760, 520);
}

QWidget *SendCmdDlg::buildSerialBox()
{
    auto *box = new QWidget(contentWidget());
    auto *grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    m_port = new QComboBox(box);
    for (const QSerialPortInfo &p : QSerialPortInfo::availablePorts())
        m_port->addItem(p.portName(), p.systemLocation());
    m_port->setEditable(true);
    m_speed = new QComboBox(box);
    for (int s : {9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600})
        m_speed->addItem(QString::number(s), s);
    m_speed->setCurrentText(QStringLiteral("115200"));
    m_dataBits = new QComboBox(box);
    for (int b : {5, 6, 7, 8})
        m_dataBits->addItem(QString::number(b), b);
    m_dataBits->setCurrentText(QStringLiteral("8"));
    m_parity = new QComboBox(box);
    m_parity->addItem(QStringLiteral("None"), QSerialPort::NoParity);
    m_parity->addItem(QStringLiteral("Odd"), QSerialPort::OddParity);
    m_parity->addItem(QStringLiteral("Even"), QSerialPort::EvenParity);
    m_parity->addItem(QStringLiteral("Mark"), QSerialPort::MarkParity);
    m_parity->addItem(QStringLiteral("Space"), QSerialPort::SpaceParity);
    m_stopBits = new QComboBox(box);
    m_stopBits->addItem(QStringLiteral("1"), QSerialPort::OneStop);
    m_stopBits->addItem(QStringLiteral("1.5"), QSerialPort::OneAndHalfStop);
    m_stopBits->addItem(QStringLiteral("2"), QSerialPort::TwoStop);
    m_btnOpen = new QPushButton(kxTr(QStringLiteral("#IDS_OPENCOM")), box);
    int col = 0;
    for (QWidget *w : {static_cast<QWidget *>(m_port), static_cast<QWidget *>(m_speed),
                       static_cast<QWidget *>(m_dataBits), static_cast<QWidget *>(m_parity),
                       static_cast<QWidget *>(m_stopBits), static_cast<QWidget *>(m_btnOpen)})
        grid->addWidget(w, 0, col++);
    connect(m_btnOpen, &QPushButton::clicked, this, &SendCmdDlg::toggleSerial);
    return box;
}

bool SendCmdDlg::isSerialOpen() const
{
    return m_serial && m_serial->isOpen();
}

void SendCmdDlg::toggleSerial()
{
    if (isSerialOpen()) {
        m_serial->close();
        m_btnOpen->setText(kxTr(QStringLiteral("#IDS_OPENCOM")));
        return;
    }
    if (!m_serial) {
        m_serial = new QSerialPort(this);
        connect(m_serial, &QSerialPort::readyRead, this, &SendCmdDlg::onSerialData);
    }
    const QString location = m_port->currentData().toString();
    m_serial->setPortName(location.isEmpty() ? m_port->currentText() : location);
    m_serial->setBaudRate(m_speed->currentData().toInt());
    m_serial->setDataBits(QSerialPort::DataBits(m_dataBits->currentData().toInt()));
    m_serial->setParity(QSerialPort::Parity(m_parity->currentData().toInt()));
    m_serial->setStopBits(QSerialPort::StopBits(m_stopBits->currentData().toInt()));
    if (!m_serial->open(QIODevice::ReadWrite)) {
        qWarning() << "SendCmdDlg::toggleSerial()..." << m_serial->portName() << m_serial->errorString();
        KxUi()->warning(QStringLiteral("#IDS_ERRORCOM"), QStringLiteral("#IDS_Tips"), this);
        return;
    }
    m_target->setCurrentIndex(1);
    m_btnOpen->setText(kxTr(QStringLiteral("#IDS_CLOSECOM")));
}

void SendCmdDlg::onSerialData()
{
    const QByteArray data = m_serial->readAll();
    appendLine(SendCmdFormat::responseLine(data, display()));
}

SendCmdFormat::Display SendCmdDlg::display() const
{
    SendCmdFormat::Display d;
    d.hex = m_hexDisplay->isChecked();
    d.headAndTail = m_headTail->isChecked();
    d.tags = m_tags->isChecked();
    d.parse = m_parse->isChecked();
    return d;
}

bool SendCmdDlg::sendText(const QString &text)
{
    const QString typed = m_hexSend->isChecked() ? text.trimmed() : SendCmdFormat::compact(text);
    if (typed.isEmpty())
        return false;
    QByteArray request;
    if (m_hexSend->isChecked()) {
        if (!SendCmdFormat::parseHex(typed, request)) {
            KxUi()->warning(QStringLiteral("#IDS_HexSendInvalid"), QStringLiteral("#IDS_Tips"), this);
            return false;
        }
    } else {
        request = SendCmdFormat::requestBytes(typed);
        if (request.isEmpty()) {
            KxUi()->warning(QStringLiteral("#IDS_CmdInvalid"), QStringLiteral("#IDS_Tips"), this);
            return false;
        }
    }
    m_history = SendCmdFormat::addToHistory(m_history, typed);
    m_input->clear();
    m_input->addItems(m_history);
    m_input->setCurrentIndex(-1);
    if (m_target->currentData().toInt() == 1) {
        if (!isSerialOpen()) {
            KxUi()->warning(QStringLiteral("#IDS_ERRORCOM"), QStringLiteral("#IDS_Tips"), this);
            return false;
        }
        appendLine(SendCmdFormat::requestLine(request, display()));
        return m_serial->write(request) == request.size();
    }
    if (!m_command)
        return false;
    const bool longRun = typed.toUpper().contains(QLatin1String("ATLSTA"));
    QPointer<SendCmdDlg> self(this);
    m_command->asyncProcess(
        [request, longRun](KxDeviceCommandPtr cmd) {
            QMap<QString, QByteArray> r;
            if (!cmd)
                return r;
            KxDeviceKit *kit = KxDeviceKit::Instance();
            QByteArray reply;
            int error = 0;
            const QString device = cmd->deviceId();
            if (longRun)
                kit->setTimeOut_7E01(device, kLongTimeoutMs);
            error = kit->sendBinaryMessage(device, request, reply, longRun ? kLongTimeoutMs : 60000);
            r.insert(QStringLiteral("reply"), reply);
            r.insert(QStringLiteral("error"), QByteArray::number(error));
            return r;
        },
        [self, request](KxDeviceCommandPtr, QMap<QString, QByteArray> r) {
            if (self)
                self->showExchange(request, r.value(QStringLiteral("reply")),
                                   r.value(QStringLiteral("error"), "-1").toInt());
        });
    return true;
}

void SendCmdDlg::showExchange(const QByteArray &request, const QByteArray &reply, int error)
{
    const SendCmdFormat::Display d = display();
    appendLine(SendCmdFormat::requestLine(request, d));
    const QString line = error == 0
        ? SendCmdFormat::responseLine(reply, d)
        : (d.tags ? QStringLiteral("Response: ") : QString()) + KxSendError::text(error);
    appendLine(line);
    emit replyShown(line);
}

void SendCmdDlg::appendLine(const QString &line)
{
    m_log->appendPlainText(line);
}

QString SendCmdDlg::logText() const
{
    return m_log->toPlainText();
}

bool SendCmdDlg::saveLog()
{
    const QString dir = KxSettings::instance()->value(QStringLiteral("send_cmd"), QStringLiteral("dir")).toString();
    QString path = KxUi()->getSaveFileName(QStringLiteral("#IDS_SaveLog"), dir,
                                           QStringLiteral("Text (*.txt)"), this);
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".txt");
    KxSettings::instance()->setValue(QStringLiteral("send_cmd"), QStringLiteral("dir"),
                                     QFileInfo(path).absolutePath());
    QSaveFile f(path);
    const bool ok = f.open(QIODevice::WriteOnly | QIODevice::Text)
        && f.write(logText().toUtf8()) >= 0 && f.commit();
    if (ok)
        KxUi()->information(QStringLiteral("#IDS_SaveFile_Success"), QStringLiteral("#IDS_Tips"), this);
    else
        KxUi()->warning(QStringLiteral("#IDS_SaveFile_Failed"), QStringLiteral("#IDS_Tips"), this);
    return ok;
}

QString SendCmdDlg::historyPath() const
{
    return QStringLiteral("%1/history.cache").arg(KxConfig::instance()->dataDir());
}

void SendCmdDlg::loadHistoryCmds()
{
    if (!SendCmdFormat::loadHistory(historyPath(), m_history))
        qWarning() << "SendCmdDlg::loadHistoryCmds fail!";
    m_input->addItems(m_history);
    m_input->setCurrentIndex(-1);
}

void SendCmdDlg::saveHistoryCmds()
{
    if (!SendCmdFormat::saveHistory(historyPath(), m_history))
        qWarning() << "SendCmdDlg::saveHistoryCmds fail!";
}
