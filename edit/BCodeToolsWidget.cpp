#include "BCodeToolsWidget.h"

#include "ChangedCmdsListDlg.h"
#include "EditIcons.h"
#include "DoSaveChangedCmds.h"
#include "KxConfigFileUi.h"
#include "KxDeviceCommand.h"
#include "KxDeviceConnector.h"
#include "KxDialogRunner.h"
#include "KxI18nUtil.h"
#include "KxUiService.h"
#include "SendCmdDlg.h"

#include <QCursor>
#include <QDebug>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLayout>
#include <QMenu>
#include <QResizeEvent>
#include <QToolButton>

namespace {
struct ToolDef
{
    const char *id;
    const char *text;
};
const ToolDef kTools[] = {
    {"Id_Btn_ImportCfg", "#IDS_ImportConfig"},   {"Id_Btn_ExportCfg", "#IDS_ExportConfig"},
    {"Id_Btn_SearchCmd", "#ID_STRING_CMD_SEARCH"}, {"Id_Btn_ConfigHistory", "#ID_CONFIG_HISTORY"},
    {"Id_Btn_SendCmd", "#IDS_CmdInteraction"},   {"Id_Btn_Default", "#ID_FRDTEXT_DEFAULT"},
    {"Id_Btn_SaveToDevice", "#IDS_SaveToDevice"}, {"Id_Btn_DeviceLog", "#ID_GRPNAME_DBGLVL"},
};

struct DefaultDef
{
    const char *code;
    const char *text;
    const char *confirm; // null: no confirmation
};
const DefaultDef kDefaults[] = {
    {"INCFMC", "#ID_FRDTEXT_INCFMC", "#ID_FRDTEXT_INC_ERROR_RETURN"},
    {"INCFCM", "#ID_FRDTEXT_INCFCM", "#ID_FRDTEXT_INC_ERROR_RETURN"},
    {"INCFOT", "#ID_FRDTEXT_INCFOT", "#ID_FRDTEXT_INC_ERROR_RETURN"},
    {"FACDEF", "#ID_FRDTEXT_DEFAULT_FACTORY", "#ID_FRDTEXT_DEFAULT_FACTORY_INFO1"},
    {"CUSDEF", "#ID_FRDTEXT_DEFAULT_LOAD_CUSTOM", "#ID_FRDTEXT_DEFAULT_LOAD_CUSTOM_INFO1"},
    {"CUSSAV", "#ID_FRDTEXT_DEFAULT_SAVE_CUSTOM", nullptr},
};

const DefaultDef *defaultDef(const QString &code)
{
    for (const DefaultDef &d : kDefaults) {
        if (code == QLatin1String(d.code))
            return &d;
    }
    return nullptr;
}

const char *const kToolStyle =
    "QToolButton{border:1px solid #dbdbdb; border-radius:4px; background:#f9f9f9; color:#1f1f1f;"
    " font-size:14px; padding:4px 10px;}QToolButton:hover{background:#0c3484; color:#ffffff;}"
    "QToolButton::menu-indicator{image:none;}";
}  // namespace

BCodeToolsWidget::BCodeToolsWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("widgetBarcodeTools"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    m_defaultMenu = new QMenu(this);
    m_defaultMenu->setStyleSheet(QStringLiteral("font-size:14px;"));
    const QList<void (BCodeToolsWidget::*)()> handlers = {
        &BCodeToolsWidget::OnMenuActionTriggeredINCFMC,
        &BCodeToolsWidget::OnMenuActionTriggeredINCFCM,
        &BCodeToolsWidget::OnMenuActionTriggeredINCFOT,
        &BCodeToolsWidget::OnMenuActionTriggeredDefaultFactory,
        &BCodeToolsWidget::OnMenuActionTriggeredDefaultLoadCustom,
        &BCodeToolsWidget::OnMenuActionTriggeredDefaultSaveCustom,
    };
    for (int i = 0; i < 6; ++i) {
        QAction *a = m_defaultMenu->addAction(kxTr(QLatin1String(kDefaults[i].text)));
        a->setObjectName(QLatin1String(kDefaults[i].code));
        connect(a, &QAction::triggered, this, handlers[i]);
    }
    for (const ToolDef &t : kTools) {
        auto *b = new QToolButton(this);
        b->setObjectName(QLatin1String(t.id));
        b->setText(kxTr(QLatin1String(t.text)));
        const QIcon icon = EditIcons::icon(QLatin1String(t.id), 14, QColor(0x1f, 0x1f, 0x1f), Qt::white);
        b->setToolButtonStyle(icon.isNull() ? Qt::ToolButtonTextOnly : Qt::ToolButtonTextBesideIcon);
        b->setIcon(icon);
        b->setToolTip(b->text());
        b->setStyleSheet(QLatin1String(kToolStyle));
        b->setCursor(Qt::PointingHandCursor);
        connect(b, &QToolButton::clicked, this, &BCodeToolsWidget::OnToolBtnClicked);
        layout->addWidget(b);
    }
    layout->addStretch(1);
}

bool BCodeToolsWidget::needsCompact(int available, const QList<int> &fullWidths, int spacing)
{
    int total = 0;
    for (int w : fullWidths)
        total += w;
    if (!fullWidths.isEmpty())
        total += spacing * (fullWidths.size() - 1);
    return total > available;
}

void BCodeToolsWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateCompact();
}

void BCodeToolsWidget::updateCompact()
{
    // Texts cut to "Impor…ation" say nothing: below the full width show icons, texts as tips.
    const QList<QToolButton *> buttons = findChildren<QToolButton *>(QString(), Qt::FindDirectChildrenOnly);
    QList<int> widths;
    for (const QToolButton *b : buttons) {
        const QFontMetrics fm(b->font());
        // text, icon, icon spacing, padding 2 x 10, border 2 x 1, and the style's margins
        widths << fm.horizontalAdvance(b->text()) + b->iconSize().width() + 4 + 20 + 2 + 8;
    }
    const bool compact = needsCompact(width(), widths, layout() ? layout()->spacing() : 0);
    if (compact == m_compact)
        return;
    m_compact = compact;
    for (QToolButton *b : buttons) {
        if (!b->icon().isNull())
            b->setToolButtonStyle(compact ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextBesideIcon);
    }
}

void BCodeToolsWidget::setDevice(QPointer<KxDeviceConnector> connector)
{
    m_connector = connector;
}

QToolButton *BCodeToolsWidget::button(const QString &objectName) const
{
    return findChild<QToolButton *>(objectName);
}

void BCodeToolsWidget::OnToolBtnClicked()
{
    if (sender())
        runTool(sender()->objectName());
}

bool BCodeToolsWidget::runTool(const QString &id)
{
    qInfo().noquote() << "BCodeToolsWidget::runTool()..." << id;
    if (id == QLatin1String("Id_Btn_DeviceLog")) {
        emit OnSignalBtnDeviceLogClick();
        return true;
    }
    if (!m_connector || !m_connector->command())
        return false;
    if (id == QLatin1String("Id_Btn_ImportCfg"))
        importConfig();
    else if (id == QLatin1String("Id_Btn_ExportCfg"))
        exportConfig();
    else if (id == QLatin1String("Id_Btn_SearchCmd"))
        searchCommand();
    else if (id == QLatin1String("Id_Btn_ConfigHistory"))
        showHistory();
    else if (id == QLatin1String("Id_Btn_SendCmd"))
        sendCommands();
    else if (id == QLatin1String("Id_Btn_Default"))
        m_defaultMenu->popup(QCursor::pos());
    else if (id == QLatin1String("Id_Btn_SaveToDevice"))
        saveToDevice();
    else
        return false;
    return true;
}

void BCodeToolsWidget::importConfig()
{
    const KxConfigFileUi::ImportOutcome out = KxConfigFileUi::importConfig(m_connector, this);
    if (out.streamModeChanged)
        emit OnSignalConfigLibStreamMode(out.streamMode);
    emit toolFinished(QStringLiteral("Id_Btn_ImportCfg"), out.imported && out.ok);
}

void BCodeToolsWidget::exportConfig()
{
    emit toolFinished(QStringLiteral("Id_Btn_ExportCfg"), KxConfigFileUi::exportConfig(m_connector, this));
}

void BCodeToolsWidget::searchCommand()
{
    KxInputRequest req;
    req.title = QStringLiteral("#ID_STRING_CMD_SEARCH");
    req.label = QStringLiteral("#IDS_SearchCmd_Tips");
    req.maxLength = 64;
    req.parent = this;
    const KxInputResult r = KxUi()->getText(req);
    if (!r.ok || r.text.trimmed().isEmpty())
        return;
    const QVariant found = m_finder ? m_finder(r.text.trimmed()) : QVariant();
    if (!found.isValid()) {
        KxUi()->toast(QStringLiteral("#IDS_SearchCmd_NotFound"), 3000, this);
        return;
    }
    emit locateRequested(found);
}

void BCodeToolsWidget::showHistory()
{
    ChangedCmdsListDlg dlg(m_connector, true, this);
    if (!dlg.fill(m_connector))
        return;
    if (KxDialogRunner::run(&dlg) == 1)
        emit settingCodeRequested();
}

void BCodeToolsWidget::sendCommands()
{
    SendCmdDlg dlg(m_connector->command(), this);
    KxDialogRunner::run(&dlg);
}

QString BCodeToolsWidget::restartMessage(const QStringList &changedCodes,
                                         const std::function<QString(const QString &)> &warning)
{
    for (const QString &code : changedCodes) {
        const QString key = warning ? warning(code) : QString();
        if (!key.isEmpty())
            return key;
    }
    return QString();
}

void BCodeToolsWidget::saveToDevice()
{
    if (m_running)
        return;
    // An edit still on its way is part of what is saved, and reaches the reader first.
    if (!WaitForPendingChanges(m_connector->command(), this) || !m_connector
        || !m_connector->command())
        return;
    KxDeviceCommand *cmd = m_connector->command();
    QStringList codes;
    for (const ChangedCmdInfo &c : cmd->changedCmds())
        codes << c.code;
    if (codes.isEmpty()) {
        KxUi()->toast(QStringLiteral("#IDS_NoChangedCmds"), 3000, this);
        emit toolFinished(QStringLiteral("Id_Btn_SaveToDevice"), true);
        return;
    }
    QPointer<KxDeviceCommand> guard(cmd);
    const QString restartKey = restartMessage(codes, [guard](const QString &c) {
        return guard ? guard->rebootWarning(c) : QString();
    });
    const bool restart = !restartKey.isEmpty();
    if (restart && !KxUi()->question(restartKey, QStringLiteral("#IDS_Tips"),
                                     QStringLiteral("#IDS_OK|Cancel"), this).isAccepted())
        return;
    m_running = true;
    KxUi()->showWaiting(QStringLiteral("#IDS_SaveChangedCmds_ing"));
    QPointer<BCodeToolsWidget> self(this);
    cmd->saveChangedCmdsAsync(this, [self, restart](bool ok, const QStringList &failed) {
        if (self)
            self->finishSave(ok, restart, failed);
    });
}

void BCodeToolsWidget::finishSave(bool ok, bool restart, const QStringList &failed)
{
    // Only answers lost because the link itself changed may be confirmed afterwards: a save
    // with any other failed item is a failed save.
    KxDeviceCommand *command = m_connector ? m_connector->command() : nullptr;
    bool linkOnly = restart && command && !failed.isEmpty();
    QMap<QString, QByteArray> sent;
    if (linkOnly) {
        for (const ChangedCmdInfo &c : command->changedCmds())
            sent.insert(c.code, c.value.toByteArray());
        for (const QString &code : failed)
            linkOnly = linkOnly && sent.contains(code) && !command->rebootWarning(code).isEmpty();
    }
    if (ok || !linkOnly) {
        KxUi()->closeWaiting();
        m_running = false;
        if (ok) {
            KxUi()->toast(QStringLiteral("#IDS_SaveChangedCmds_Success"), 3000, this);
            if (restart)
                emit mainPageRequested();
        } else {
            KxUi()->message({KxMsgType::Warning, QStringLiteral("#IDS_Tips"),
                             QStringLiteral("#IDS_SaveChangedCmds_Failed_2"),
                             QStringLiteral("#IDS_MessageBox_OK"), 350, this});
        }
        emit toolFinished(QStringLiteral("Id_Btn_SaveToDevice"), ok);
        return;
    }
    // A save that changes the link may lose the reader's answer although the reader took it:
    // the reader must now answer each of those settings with the value sent.
    QPointer<BCodeToolsWidget> self(this);
    const QStringList lost = failed;
    command->asyncProcess(
        [lost, sent](KxDeviceCommandPtr cmd) {
            QMap<QString, QByteArray> r;
            bool confirmed = cmd != nullptr;
            for (const QString &code : lost) {
                QByteArray v;
                confirmed = confirmed
                    && cmd->query(1, QLatin1Char('@') + code + QLatin1Char('*'), v) == 6
                    && v == sent.value(code);
            }
            r.insert(QStringLiteral("ok"), confirmed ? "1" : "0");
            return r;
        },
        [self](KxDeviceCommandPtr, QMap<QString, QByteArray> r) {
            if (!self)
                return;
            KxUi()->closeWaiting();
            self->m_running = false;
            const bool ok = r.value(QStringLiteral("ok")) == "1";
            if (ok) {
                KxUi()->toast(QStringLiteral("#IDS_SaveChangedCmds_Success"), 3000, self);
                emit self->mainPageRequested();
            } else {
                KxUi()->message({KxMsgType::Warning, QStringLiteral("#IDS_Tips"),
                                 QStringLiteral("#IDS_SaveChangedCmds_Failed_2"),
                                 QStringLiteral("#IDS_MessageBox_OK"), 350, self});
            }
            emit self->toolFinished(QStringLiteral("Id_Btn_SaveToDevice"), ok);
        });
}

void BCodeToolsWidget::OnMenuActionTriggeredDefaultFactory() { runDefault(QStringLiteral("FACDEF")); }
void BCodeToolsWidget::OnMenuActionTriggeredDefaultLoadCustom() { runDefault(QStringLiteral("CUSDEF")); }
void BCodeToolsWidget::OnMenuActionTriggeredDefaultSaveCustom() { runDefault(QStringLiteral("CUSSAV")); }
void BCodeToolsWidget::OnMenuActionTriggeredINCFMC() { runDefault(QStringLiteral("INCFMC")); }
void BCodeToolsWidget::OnMenuActionTriggeredINCFCM() { runDefault(QStringLiteral("INCFCM")); }
void BCodeToolsWidget::OnMenuActionTriggeredINCFOT() { runDefault(QStringLiteral("INCFOT")); }

void BCodeToolsWidget::runDefault(const QString &code)
{
    const DefaultDef *def = defaultDef(code);
    if (!def || !m_connector || !m_connector->command() || m_running)
        return;
    if (def->confirm && !KxUi()->question(QLatin1String(def->confirm), QStringLiteral("#IDS_Tips"),
                                          QStringLiteral("#IDS_OK|Cancel"), this).isAccepted())
        return;
    const bool restarts = def->confirm != nullptr;
    m_running = true;
    KxUi()->showWaiting(QStringLiteral("#ID_FRDTEXT_DEFAULT_ERROR_RETURN"));
    QPointer<BCodeToolsWidget> self(this);
    m_connector->command()->asyncProcess(
        [code](KxDeviceCommandPtr cmd) {
            QMap<QString, QByteArray> r;
            QByteArray v;
            const bool ok = cmd && cmd->query(1, QLatin1Char('@') + code, v) == 6;
            r.insert(QStringLiteral("ok"), ok ? "1" : "0");
            return r;
        },
        [self, code, restarts](KxDeviceCommandPtr, QMap<QString, QByteArray> r) {
            if (!self)
                return;
            KxUi()->closeWaiting();
            self->m_running = false;
            const bool ok = r.value(QStringLiteral("ok")) == "1";
            if (restarts && !ok) {
                // Refused (custom defaults never stored) or not answered: the reader did not
                // restart, so the page stays and says so.
                KxUi()->message({KxMsgType::Warning, QStringLiteral("#IDS_Tips"),
                                 QStringLiteral("#IDS_DefaultRestore_Refused"),
                                 QStringLiteral("#IDS_MessageBox_OK"), 350, self});
                emit self->toolFinished(code, false);
            } else if (restarts) {
                // The reader restarts with its defaults: this page's reader is gone.
                KxUi()->toast(QStringLiteral("#ID_FRDTEXT_DEFAULT_ERROR_RETURN"), 2000, self);
                emit self->toolFinished(code, ok);
                emit self->mainPageRequested();
            } else {
                KxUi()->toast(ok ? QStringLiteral("#ID_CUSTOM_SAVE_OK") : QStringLiteral("#ID_CUSTOM_SAVE_ERROR"),
                              2000, self);
                emit self->toolFinished(code, ok);
            }
        });
}

KxDeviceConnector *BCodeToolsWidget::device() const
{
    return m_connector.data();
}
