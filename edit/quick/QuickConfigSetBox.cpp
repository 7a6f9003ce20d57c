#include "QuickConfigSetBox.h"

#include "ConfigLibDialogs.h"

#include "ConfigLib.h"
#include "KxDeviceCommand.h"
#include "KxDeviceConnector.h"
#include "KxI18nUtil.h"
#include "KxUiService.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

QuickConfigSetBox::QuickConfigSetBox(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    m_title = new QLabel(kxTr(QStringLiteral("#IDS_ConfigLib")), this);
    m_title->setWordWrap(true);
    m_combo = new QComboBox(this);
    m_combo->setObjectName(QStringLiteral("cbxConfigLib"));
    m_enable = new QPushButton(this);
    m_enable->setObjectName(QStringLiteral("btnConfigLibEnable"));
    m_name = new QPushButton(kxTr(QStringLiteral("#IDS_ChangeConfigName")), this);
    m_name->setObjectName(QStringLiteral("btnConfigLibName"));
    layout->addWidget(m_title);
    layout->addWidget(m_combo);
    layout->addWidget(m_enable);
    layout->addWidget(m_name);
    layout->addStretch(1);
    connect(m_combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] { updateButtons(); });
    connect(m_enable, &QPushButton::clicked, this, &QuickConfigSetBox::toggleEnable);
    connect(m_name, &QPushButton::clicked, this, &QuickConfigSetBox::rename);
    setVisible(false);
}

bool QuickConfigSetBox::setDevice(QPointer<KxDeviceConnector> connector)
{
    qDeleteAll(m_sets);
    m_sets.clear();
    m_connector = connector;
    KxDeviceCommand *cmd = connector ? connector->command() : nullptr;
    if (cmd && cmd->hasCmd(QStringLiteral("MPCADD")))
        m_sets = ConfigLib::load(KxDeviceCommandPtr(cmd), this);
    for (ConfigLib *set : qAsConst(m_sets)) {
        connect(set, &ConfigLib::applied, this, [this, set](bool ok) { applied(set, ok); });
        connect(set, &ConfigLib::configChanged, this, [this] { fill(); });
    }
    fill();
    setVisible(!m_sets.isEmpty());
    return !m_sets.isEmpty();
}

ConfigLib *QuickConfigSetBox::currentSet() const
{
    const int i = m_combo->currentIndex();
    return i >= 0 && i < m_sets.size() ? m_sets[i] : nullptr;
}

void QuickConfigSetBox::fill()
{
    const int keep = qMax(0, m_combo->currentIndex());
    const QSignalBlocker block(m_combo);
    m_combo->clear();
    for (const ConfigLib *set : qAsConst(m_sets)) {
        const QString text = QStringLiteral("%1: %2").arg(set->id()).arg(set->name());
        m_combo->addItem(set->isEnabled() ? kxTr(QStringLiteral("#IDS_ConfigSetEnabledTag")).arg(text) : text,
                         set->id());
    }
    m_combo->setCurrentIndex(qMin(keep, m_combo->count() - 1));
    updateButtons();
}

void QuickConfigSetBox::updateButtons()
{
    const ConfigLib *set = currentSet();
    m_enable->setEnabled(set);
    m_name->setEnabled(set);
    m_enable->setText(kxTr(set && set->isEnabled() ? QStringLiteral("#IDS_Disable") : QStringLiteral("#IDS_Enable")));
}

void QuickConfigSetBox::toggleEnable()
{
    ConfigLib *set = currentSet();
    if (!set)
        return;
    set->setValue(ConfigLib::KeyEnable, set->isEnabled() ? 0 : 1, true);
    emit configLibEnable();
}

void QuickConfigSetBox::rename()
{
    ConfigLib *set = currentSet();
    if (!set)
        return;
    QStringList others;
    for (const ConfigLib *s : qAsConst(m_sets)) {
        if (s != set)
            others << s->name();
    }
    // The page's rename dialog: asks again after each refused name; cancel ends it.
    if (ConfigLibRenameDlg::run(set, others, this))
        emit configLibNameChange(set->id(), set->name());
}

void QuickConfigSetBox::applied(ConfigLib *set, bool ok)
{
    if (!ok) {
        KxUi()->toast(kxTr(QStringLiteral("#IDS_ConfigSetFailed")), 3000, this);
        // Show what the reader really holds again.
        setDevice(m_connector);
        return;
    }
    // The reader now holds the set; read its list again so every page sees it.
    Q_UNUSED(set);
    if (KxDeviceCommand *cmd = m_connector ? m_connector->command() : nullptr) {
        cmd->asyncProcess(
            [](KxDeviceCommandPtr c) {
                QMap<QString, QByteArray> r;
                if (c && c->syncSettingsEx(KxDeviceCommand::SyncRefresh) != 0)
                    r.insert(QStringLiteral("error"), "refresh");
                return r;
            },
            [](KxDeviceCommandPtr, QMap<QString, QByteArray>) {});
    }
}
