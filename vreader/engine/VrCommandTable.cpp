#include "VrCommandTable.h"
#include "VrRfid.h"

#include "KxDataStreamTypes.h"
#include "KxPageLoader.h"
#include "VrConfigSets.h"
#include "VrReaderTools.h"
#include "VrSelfLearning.h"

#include <QDir>

bool VrCommandTable::loadModelDir(const QString &modelDir, QString *error)
{
    const QDir pages(modelDir + QStringLiteral("/pages"));
    const QStringList files = pages.entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name);
    int added = 0;
    for (const QString &file : files) {
        const auto info = KxPageLoader::loadPages(pages.filePath(file));
        if (!info)
            continue;
        for (const KxPageInfo *page : info->pages) {
            for (const KxItemInfo *item : page->allItems()) {
                if (!KxProtocol::isValidCode(item->id) || m_commands.contains(item->id))
                    continue;
                VrCommand c;
                c.code = item->id;
                c.rule = KxValueRule::fromItem(*item);
                c.defaultValue = c.rule.defaultValue.toUtf8();
                c.communication = isCommunicationCode(c.code);
                c.fromPages = true;
                add(c);
                ++added;
            }
        }
    }
    if (added > 0 && pages.exists(VrConfigSets::pageFile()))
        add(VrConfigSets::command(*this));
    if (m_commands.contains(QStringLiteral("ATLSTP"))) {
        for (const VrCommand &c : VrSelfLearning::commands())
            add(c);
    }
    // The tools the pages offer bring the reader's commands that go with them.
    const auto addAll = [this](const QList<VrCommand> &list) {
        for (const VrCommand &c : list) {
            if (!m_commands.contains(c.code))
                add(c);
        }
    };
    if (m_commands.contains(QStringLiteral("TESSRN")) || m_commands.contains(QStringLiteral("TESLIB")))
        addAll(VrReaderTools::testCommands());
    if (m_commands.contains(QStringLiteral("SCNMTR")))
        addAll(VrReaderTools::monitorCommands());
    if (m_commands.contains(QStringLiteral("FOCAUT")))
        addAll(VrReaderTools::focusCommands());
    if (VrRfid::isRfidTable(*this))
        addAll(VrRfid::commands());
    if (added == 0 && error)
        *error = QStringLiteral("no commands found in the pages of %1").arg(modelDir);
    return added > 0;
}

void VrCommandTable::addSpecialCommands()
{
    auto live = [this](const char *code, VrCommand::Kind kind) {
        const auto it = m_commands.find(QLatin1String(code));
        if (it == m_commands.end())
            return false;
        it->kind = kind;
        return true;
    };
    auto special = [this, &live](const char *code, VrCommand::Kind kind, const QByteArray &def,
                                 KxValueRule::Kind ruleKind = KxValueRule::Free, double lo = 0,
                                 double hi = 0) {
        // Settings described by the pages stay as the pages have them.
        if (m_commands.contains(QLatin1String(code))
            && (kind == VrCommand::Setting || live(code, kind)))
            return;
        VrCommand c;
        c.code = QLatin1String(code);
        c.kind = kind;
        c.defaultValue = def;
        c.rule.kind = ruleKind;
        c.rule.defaultValue = QString::fromUtf8(def);
        c.rule.hasDefault = true;
        if (ruleKind == KxValueRule::Integer) {
            c.rule.hasMinimum = c.rule.hasMaximum = true;
            c.rule.minimum = lo;
            c.rule.maximum = hi;
        }
        add(c);
    };
    special("PRNQRY", VrCommand::ReadOnly, QByteArray());
    special("BUFQRY", VrCommand::ReadOnly, "4096");
    special("IDNQRY", VrCommand::ReadOnly, QByteArray());
    special("DBGCNT", VrCommand::ReadOnly, QByteArray());
    special("DBGCNC", VrCommand::Action, QByteArray());
    // Results kept while no client holds the reader: keep on/off, count, pages, clear.
    special("WLSBAT", VrCommand::Setting, "1", KxValueRule::Integer, 0, 1);
    special("WLSCNT", VrCommand::ReadOnly, QByteArray());
    special("WLSGET", VrCommand::Action, QByteArray());
    special("WLSCLR", VrCommand::Action, QByteArray());
    special("DFMCAL", VrCommand::Action, QByteArray());   // clears the data formats ("DFMADD")
    special("DFMQFA", VrCommand::ReadOnly, QByteArray()); // the data formats in use
    special("DFMQCU", VrCommand::ReadOnly, QByteArray()); // the stored data formats
    // The script functions the reader offers, and its Lua script as it runs it.
    for (const char *code : {"SCRQFN", "SCRQAA", "LUAQAS", "LUAQAA", "LUAQRY"})
        special(code, VrCommand::ReadOnly, QByteArray());
    special("SCNITG", VrCommand::Action, QByteArray());   // trigger once: one simulated read
    special("SCNTRG", VrCommand::Setting, "0", KxValueRule::Integer, 0, 1);  // 1 triggers a read
    special("LOGLVL", VrCommand::Setting, "3", KxValueRule::Integer, 0, 5);
    special("LOGACT", VrCommand::Setting, "0", KxValueRule::Integer, 0, 1);
    special("DIFQRY", VrCommand::ReadOnly, QByteArray());  // settings not yet stored
    special("FRMTMO", VrCommand::Setting, "60000", KxValueRule::Integer, 10000, 180000);
    for (const char *code : {"FACDEF", "CUSSAV", "CUSDEF", "INCFMC", "INCFCM", "INCFOT", "REBOOT"})
        special(code, VrCommand::Action, QByteArray());
    // The table is complete: every "@^" would otherwise work the same texts out again.
    for (auto it = m_commands.begin(); it != m_commands.end(); ++it)
        it->capabilityText = capability(*it);
}

void VrCommandTable::setConfigSetCount(int count)
{
    const auto it = m_commands.find(QStringLiteral("MPCADD"));
    if (it == m_commands.end())
        return;
    VrCommand c = VrConfigSets::command(*this, count);
    c.kind = it->kind;
    c.capabilityText = it->capabilityText;
    *it = c;
}

void VrCommandTable::add(const VrCommand &command)
{
    m_commands.insert(command.code, command);
    m_order.append(command.code);
}

const VrCommand *VrCommandTable::find(const QString &code) const
{
    const auto it = m_commands.constFind(code);
    return it == m_commands.constEnd() ? nullptr : &it.value();
}

bool VrCommandTable::isCommunicationCode(const QString &code)
{
    static const QStringList prefixes = {QStringLiteral("232"), QStringLiteral("NET"),
                                         QStringLiteral("INTERF"), QStringLiteral("AUTOUR"),
                                         QStringLiteral("KBW"), QStringLiteral("CDC"),
                                         QStringLiteral("BOCUSB"), QStringLiteral("TCP")};
    for (const QString &p : prefixes) {
        if (code.startsWith(p))
            return true;
    }
    return false;
}

QByteArray VrCommandTable::capability(const VrCommand &command)
{
    if (!hasValue(command))
        return "action";
    if (command.code == QLatin1String("DIFQRY"))
        return "codes";
    const KxValueRule &r = command.rule;
    switch (r.kind) {
    case KxValueRule::Option: {
        QByteArrayList parts;
        for (const KxFeatureInfo &o : r.options) {
            bool ok = false;
            o.key.toLongLong(&ok);
            if (!ok)
                return r.describe().toUtf8();
            parts << o.key.toUtf8();
        }
        return parts.join(',');
    }
    case KxValueRule::Integer:
        if (r.hasMinimum && r.hasMaximum)
            return QByteArray::number(qint64(r.minimum)) + '-' + QByteArray::number(qint64(r.maximum));
        break;
    case KxValueRule::Text:
        return "T0-" + QByteArray::number(r.maxLength < 0 ? 65535 : r.maxLength);
    case KxValueRule::Hex:
        return "H0-" + QByteArray::number(r.maxLength < 0 ? 65535 : r.maxLength);
    default:
        break;
    }
    return r.describe().toUtf8();
}
