#include "DeviceLogDlg.h"

#include "DeviceLogFrameParser.h"
#include "DeviceLogTableModel.h"
#include "KxDeviceCommand.h"
#include "KxDeviceConnector.h"
#include "KxDeviceLogConnectManager.h"
#include "KxI18nUtil.h"
#include "KxSettings.h"
#include "KxStyledButtons.h"
#include "KxUiService.h"

#include <QCheckBox>
#include <QDebug>
#include <QComboBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QThread>
#include <QVBoxLayout>

DeviceLogDlg::DeviceLogDlg(KxDeviceConnector *connector, QWidget *parent)
    : NDialogEx(parent), m_connector(connector),
      m_deviceId(connector ? connector->deviceId() : QString()),
      m_model(new DeviceLogTableModel(this)), m_parseThread(new QThread(this)),
      m_worker(new DeviceLogParseWorker)
{
    setObjectName(QStringLiteral("DeviceLogDlg"));
    setTitle(QStringLiteral("#ID_GRPNAME_DBGLVL"));
    auto *layout = new QVBoxLayout(contentWidget());
    auto *bar = new QHBoxLayout;
    bar->addWidget(new QLabel(kxTr(QStringLiteral("#IDS_Log_Filter")), contentWidget()));
    m_level = new QComboBox(contentWidget());
    m_level->setObjectName(QStringLiteral("comboLevel"));
    m_level->setMinimumWidth(120);
    // "All" first, then the levels 1 (error) to 5 (trace).
    const QStringList names = kxTr(QStringLiteral("#ID_STLIST_DBGLVL")).split(QLatin1Char('|'));
    m_level->addItem(kxTr(QStringLiteral("#IDS_All")), 0);
    for (int level = 1; level <= 5; ++level)
        m_level->addItem(names.value(level, QString::number(level)), level);
    bar->addWidget(m_level);
    bar->addSpacing(16);
    m_active = new QCheckBox(kxTr(QStringLiteral("#IDS_Log_Active")), contentWidget());
    m_active->setObjectName(QStringLiteral("chkActive"));
    KxDeviceCommand *cmd = connector ? connector->command() : nullptr;
    m_active->setChecked(cmd && cmd->value(QStringLiteral("LOGACT")) == "1");
    bar->addWidget(m_active);
    bar->addStretch();
    m_count = new QLabel(contentWidget());
    m_count->setObjectName(QStringLiteral("labCount"));
    bar->addWidget(m_count);
    auto *clear = new KxPushButton(QStringLiteral("#IDS_Clear"), KxPushButton::Normal, contentWidget());
    clear->setObjectName(QStringLiteral("btnClear"));
    auto *save = new KxPushButton(QStringLiteral("#IDS_Save"), KxPushButton::Normal, contentWidget());
    save->setObjectName(QStringLiteral("btnSave"));
    bar->addWidget(clear);
    bar->addWidget(save);
    layout->addLayout(bar);

    m_view = new QTableView(contentWidget());
    m_view->setObjectName(QStringLiteral("tableLog"));
    m_view->setModel(m_model);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setDefaultSectionSize(22);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setWordWrap(false);
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->setColumnWidth(DeviceLogTableModel::LevelColumn, 90);
    m_view->setColumnWidth(DeviceLogTableModel::TimeColumn, 170);
    layout->addWidget(m_view, 1);
    m_status = new QLabel(contentWidget());
    m_status->setObjectName(QStringLiteral("labStatus"));
    layout->addWidget(m_status);
    auto *close = addButton(QStringLiteral("#IDS_Close"));
    close->setObjectName(QStringLiteral("btnClose"));

    connect(close, &QPushButton::clicked, this, &DeviceLogDlg::reject);
    connect(clear, &QPushButton::clicked, this, &DeviceLogDlg::on_btnClear_clicked);
    connect(save, &QPushButton::clicked, this, &DeviceLogDlg::on_btnSave_clicked);
    connect(m_level, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] {
        m_model->setLevelFilter(m_level->currentData().toInt());
        updateCount();
    });
    connect(m_active, &QCheckBox::clicked, this, &DeviceLogDlg::setActive);

    m_worker->moveToThread(m_parseThread);
    connect(m_parseThread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &DeviceLogParseWorker::linesParsed, this, [this](const QList<stLogData> &lines) {
        m_model->appendLines(lines);
        m_view->scrollToBottom();
        updateCount();
    });
    m_parseThread->setObjectName(QStringLiteral("log parse"));
    m_parseThread->start();
    updateCount();
    const QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                          : QRect(0, 0, 1366, 768);
    resize(qMin(960, screen.width() * 85 / 100), qMin(600, screen.height() * 80 / 100));
    openLink();
}

DeviceLogDlg::~DeviceLogDlg()
{
    shutdown();
}

void DeviceLogDlg::setStatus(const QString &key, bool error)
{
    m_status->setStyleSheet(error ? QStringLiteral("color:#cf222e;") : QStringLiteral("color:#57606a;"));
    m_status->setText(key.isEmpty() ? QString() : kxTr(key));
}

void DeviceLogDlg::updateCount()
{
    m_count->setText(kxTr(QStringLiteral("#IDS_Log_Lines")).arg(m_model->rowCount()));
}

void DeviceLogDlg::openLink()
{
    if (!m_connector) {
        setStatus(QStringLiteral("#IDS_Log_LinkFailed"), true);
        return;
    }
    KxDeviceLogConnectManager *manager = KxDeviceLogConnectManager::instance();
    m_connect = manager->connection(m_deviceId, m_connector->deviceInfo());
    m_connect->setMode(KxDeviceLogConnect::LiveMode);
    connect(m_connect, &KxDeviceLogConnect::liveData, m_worker, &DeviceLogParseWorker::addData, Qt::QueuedConnection);
    connect(m_connect, &KxDeviceLogConnect::linkLost, this, [this] {
        if (!m_closed && m_receiving) {
            m_receiving = false;
            setStatus(QStringLiteral("#IDS_Log_LinkLost"), true);
        }
    }, Qt::QueuedConnection);
    setStatus(QStringLiteral("#IDS_Log_Connecting"), false);
    // Opening the link and switching the live log on wait for the reader: not here. Closing
    // the window closes the link, which ends those waits at once.
    const QString id = m_deviceId;
    auto ok = std::make_shared<bool>(false);
    QThread *opener = QThread::create([id, ok] {
        KxDeviceLogConnectManager *m = KxDeviceLogConnectManager::instance();
        *ok = m->openLink(id) && m->startReceive(id);
    });
    connect(opener, &QThread::finished, opener, &QObject::deleteLater);
    QPointer<DeviceLogDlg> self(this);
    connect(opener, &QThread::finished, this, [self, ok] {
        if (!self || self->m_closed)
            return;
        self->m_receiving = *ok;
        self->setStatus(*ok ? QString() : QStringLiteral("#IDS_Log_LinkFailed"), !*ok);
    });
    opener->start();
}

void DeviceLogDlg::setActive(bool on)
{
    KxDeviceCommand *cmd = m_connector ? m_connector->command() : nullptr;
    if (!cmd) {
        m_active->setChecked(!on);
        setStatus(QStringLiteral("#IDS_Log_ActiveFailed"), true);
        return;
    }
    m_active->setEnabled(false);
    const QByteArray value = on ? "1" : "0";
    QPointer<DeviceLogDlg> self(this);
    cmd->asyncProcess(
        [value](KxDeviceCommandPtr c) {
            QMap<QString, QByteArray> out;
            QByteArray answer;
            const int result = c ? c->query(1, QStringLiteral("#LOGACT"), answer, value) : int(DataResult_Refused);
            out.insert(QStringLiteral("ok"), result == DataResult_Ack && answer == value ? "1" : "0");
            return out;
        },
        [self, on](KxDeviceCommandPtr, QMap<QString, QByteArray> result) {
            if (!self)
                return;
            self->m_active->setEnabled(true);
            if (result.value(QStringLiteral("ok")) != "1") {
                self->m_active->setChecked(!on);
                self->setStatus(QStringLiteral("#IDS_Log_ActiveFailed"), true);
            } else {
                self->setStatus(QString(), false);
            }
        });
}

void DeviceLogDlg::on_btnClear_clicked()
{
    m_model->clear();
    updateCount();
}

void DeviceLogDlg::on_btnSave_clicked()
{
    const QString last = KxSettings::instance()->value(QStringLiteral("logUpdate"), QStringLiteral("savefile")).toString();
    QString path = KxUi()->getSaveFileName(kxTr(QStringLiteral("#IDS_Select_LogSaveFile")), last,
                                           QStringLiteral("Log (*.txt)"), this);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".txt");
    KxSettings::instance()->setValue(QStringLiteral("logUpdate"), QStringLiteral("savefile"), QFileInfo(path).absolutePath());
    QString error;
    if (!m_model->saveText(path, &error)) {
        KxUi()->warning(kxTr(QStringLiteral("#IDS_Log_SaveFailed")) + QLatin1Char(' ') + error,
                        QStringLiteral("#IDS_Tips"), this);
        return;
    }
    KxUi()->toast(QStringLiteral("#IDS_Log_Saved"), 3000, this);
}

void DeviceLogDlg::shutdown()
{
    if (m_closed)
        return;
    m_closed = true;
    if (m_connect) {
        m_connect->disconnect(this);
        m_connect->disconnect(m_worker);
        KxDeviceLogConnectManager::instance()->closeLink(m_deviceId);
    }
    m_parseThread->quit();
    if (!m_parseThread->wait(2000))
        qWarning() << "DeviceLogDlg::shutdown()... parser still busy";
}

void DeviceLogDlg::done(int result)
{
    shutdown();
    NDialogEx::done(result);
}
