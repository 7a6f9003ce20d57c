#include "ConfigLib.h"

#include "KxDeviceCommand.h"
#include "KxI18nUtil.h"

#include <QDebug>

const QString ConfigLib::KeyEnable = QStringLiteral("_Enable");
const QString ConfigLib::KeyName = QStringLiteral("_Name");
const QString ConfigLib::KeyRetryCount = QStringLiteral("_RetryCount");
const QString ConfigLib::KeyImageGroupNo = QStringLiteral("_ImageGroupNo");
const QString ConfigLib::KeyTaskNo = QStringLiteral("_TaskNo");

namespace {
const QString kMpcAdd = QStringLiteral("MPCADD");

QMap<int, ConfigLibRecord> byId(const QByteArray &joined)
{
    QMap<int, ConfigLibRecord> out;
    for (const ConfigLibRecord &r : ConfigLibRecord::splitList(joined))
        out.insert(r.id, r);
    return out;
}

QByteArray readerList(KxDeviceCommand *cmd)
{
    return QByteArrayList(cmd->configurationSets().values()).join('|');
}
}  // namespace

// ---- ConfigLibStore ---------------------------------------------------------------------------

ConfigLibStore::ConfigLibStore(KxDeviceCommand *command) : QObject(command)
{
    setObjectName(QStringLiteral("ConfigLibStore"));
    // The reader's answers to changes (and restores, saves, refreshes) move the list; it is
    // taken again once nothing of ours is on its way, so an answer to an earlier change never
    // undoes a later edit.
    connect(command, &KxDeviceCommand::pendingChangesFinished, this, &ConfigLibStore::follow);
    connect(command, &KxDeviceCommand::cmdChanged, this, [this](const QStringList &cmds, bool) {
        if (cmds.isEmpty() || cmds.contains(kMpcAdd))
            follow();
    });
    connect(command, &KxDeviceCommand::cmdValueChanged, this,
            [this](const QMap<QString, QByteArray> &m, bool) {
                if (m.contains(kMpcAdd))
                    follow();
            });
    connect(command, &KxDeviceCommand::cmdValueChanged_ImportReboot, this, &ConfigLibStore::follow);
}

ConfigLibStore *ConfigLibStore::of(KxDeviceCommand *command)
{
    if (!command)
        return nullptr;
    auto *s = command->findChild<ConfigLibStore *>(QStringLiteral("ConfigLibStore"), Qt::FindDirectChildrenOnly);
    if (!s) {
        s = new ConfigLibStore(command);
        s->follow();
    }
    return s;
}

KxDeviceCommand *ConfigLibStore::command() const
{
    return qobject_cast<KxDeviceCommand *>(parent());
}

void ConfigLibStore::follow()
{
    KxDeviceCommand *cmd = command();
    if (!cmd || m_kept || cmd->pendingChanges() > 0)
        return;
    const QByteArray now = readerList(cmd);
    if (now == m_base && !m_records.isEmpty())
        return;
    m_base = now;
    const QMap<int, ConfigLibRecord> fresh = byId(now);
    bool same = fresh.keys() == m_records.keys();
    for (auto it = fresh.cbegin(); same && it != fresh.cend(); ++it)
        same = it.value().toHex() == m_records.value(it.key()).toHex();
    m_records = fresh;
    if (!same)
        emit reloaded();
}

QMap<int, ConfigLibRecord> ConfigLibStore::records()
{
    follow();
    return m_records;
}

ConfigLibRecord ConfigLibStore::record(int id)
{
    follow();
    return m_records.value(id);
}

void ConfigLibStore::put(const ConfigLibRecord &r, bool kept)
{
    m_records.insert(r.id, r);
    m_kept = kept;
}

QByteArray ConfigLibStore::joined()
{
    follow();
    return ConfigLibRecord::joinList(m_records.values());
}

QByteArray ConfigLibStore::stored() const
{
    KxDeviceCommand *cmd = command();
    if (!cmd)
        return QByteArray();
    for (const ChangedCmdInfo &c : cmd->changedCmds()) {
        if (c.code == kMpcAdd)
            return c.previous.toByteArray();
    }
    return readerList(cmd);
}

// ---- ConfigLib --------------------------------------------------------------------------------

ConfigLib::ConfigLib(KxDeviceCommandPtr command, QObject *parent)
    : QObject(parent), m_command(std::move(command))
{
    m_store = ConfigLibStore::of(m_command.data());
    if (m_store)
        connect(m_store, &ConfigLibStore::reloaded, this, &ConfigLib::onStoreReloaded);
}

bool ConfigLib::fromRecord(const QByteArray &hex, QString *error)
{
    ConfigLibRecord r;
    if (!ConfigLibRecord::fromHex(hex, &r, error))
        return false;
    m_record = r;
    m_flagGroup = r.hasImageGroup;
    m_flagTask = r.hasImageGroup;
    m_readRaw = hex.trimmed().toUpper();
    m_asRead = KxDataStreamParser();
    m_asRead.setDataWithoutHeader(r.body);
    m_edited = KxDataStreamParser();
    m_edited.setDataWithoutHeader(r.body);
    return true;
}

void ConfigLib::pull() const
{
    if (!m_store)
        return;
    const ConfigLibRecord r = m_store->record(m_record.id);
    if (r.id != m_record.id || r.toHex() == m_record.toHex())
        return;
    m_record = r;
    m_edited = KxDataStreamParser();
    m_edited.setDataWithoutHeader(r.body);
}

void ConfigLib::onStoreReloaded()
{
    const QByteArray before = m_record.toHex();
    pull();
    if (m_command) {
        // What the reader runs now is what this set was read as.
        const QByteArray now = byId(readerList(m_command.data())).value(m_record.id).toHex();
        if (!now.isEmpty())
            m_readRaw = now;
    }
    if (m_record.toHex() != before)
        emit configChanged(m_record.id, QString(), QString());
}

ConfigLibRecord ConfigLib::edited() const
{
    pull();
    return m_record;
}

QString ConfigLib::name() const
{
    pull();
    return m_record.name;
}

bool ConfigLib::isEnabled() const
{
    pull();
    return m_record.enable != 0;
}

int ConfigLib::retryCount() const
{
    pull();
    return m_record.retryCount;
}

QByteArray ConfigLib::record() const
{
    pull();
    return m_record.toHex();
}

void ConfigLib::store(const QString &key, const QVariant &value)
{
    if (key == KeyName) {
        m_record.name = value.toString();
    } else if (key == KeyEnable) {
        m_record.enable = value.toInt() ? 1 : 0;
    } else if (key == KeyRetryCount) {
        m_record.retryCount = qBound(1, value.toInt(), ConfigLibRecord::MaxRetryCount);
    } else if (key == KeyImageGroupNo) {
        // A group number below 0 takes the set out of image groups (and its task number too).
        const int group = value.toInt();
        m_record.hasImageGroup = m_flagGroup = group >= 0;
        m_record.imageGroupNo = qMax(0, group);
    } else if (key == KeyTaskNo) {
        m_flagTask = true;
        m_record.taskNo = qMax(1, value.toInt());
    } else {
        m_record.setValue(key, value.toString().toUtf8());
        m_edited = KxDataStreamParser();
        m_edited.setDataWithoutHeader(m_record.body);
    }
}

void ConfigLib::setValue(const QString &key, const QVariant &value, bool applyNow)
{
    // A change made elsewhere (another page, the reader) is taken before this one.
    pull();
    store(key, value);
    if (m_store)
        m_store->put(m_record, !applyNow);
    if (applyNow)
        send();
    emit configChanged(m_record.id, key, value.toString());
}

void ConfigLib::setValues(const QMap<QString, QVariant> &values, bool applyNow)
{
    pull();
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        store(it.key(), it.value());
    if (m_store)
        m_store->put(m_record, !applyNow);
    if (applyNow)
        send();
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        emit configChanged(m_record.id, it.key(), it.value().toString());
}

void ConfigLib::apply()
{
    pull();
    if (m_store)
        m_store->put(m_record, false);
    send();
}

void ConfigLib::send()
{
    if (!m_command)
        return;
    m_writtenRaw = m_record.toHex();
    QPointer<ConfigLib> self(this);
    // The answer holds every set: it becomes the reader's list of sets.
    m_command->sendCmdAsync(changedCmd(), this, true, [self](bool ok, const QStringList &failed) {
        if (!ok)
            qWarning() << "ConfigLib::send()...refused" << failed;
        if (self)
            emit self->applied(ok);
    });
}

QVariant ConfigLib::read(const QString &key) const
{
    pull();
    if (key == KeyName)
        return m_record.name;
    if (key == KeyEnable)
        return m_record.enable;
    if (key == KeyRetryCount)
        return m_record.retryCount;
    if (key == KeyImageGroupNo)
        return m_record.hasImageGroup ? QVariant(m_record.imageGroupNo) : QVariant(false);
    if (key == KeyTaskNo)
        return m_record.hasImageGroup ? QVariant(m_record.taskNo) : QVariant(false);
    QByteArray v;
    if (m_edited.getSubTagData(key, QString(), v) != DataResult_Ack)
        return false;
    return QString::fromUtf8(v);
}

ChangedCmdInfo ConfigLib::changedCmd() const
{
    pull();
    ChangedCmdInfo c;
    c.code = kMpcAdd;
    c.name = kxTr(QStringLiteral("#IDS_ConfigLib"));
    QByteArray list = m_record.toHex();
    QByteArray stored;
    if (m_store) {
        list = m_store->joined();
        stored = m_store->stored();
    } else {
        stored = m_readRaw;
    }
    c.value = QString::fromLatin1(list);
    // The list is long hexadecimal text: the history shows which sets it changes.
    const QMap<int, ConfigLibRecord> before = byId(stored);
    QStringList names;
    for (const ConfigLibRecord &r : ConfigLibRecord::splitList(list)) {
        if (before.value(r.id).toHex() != r.toHex())
            names << (r.name.isEmpty() ? QString::number(r.id) : r.name);
    }
    c.displayValue = names.isEmpty() ? c.value : QVariant(names.join(QStringLiteral(", ")));
    c.previous = QString::fromLatin1(stored);
    return c;
}

QList<ConfigLib *> ConfigLib::load(KxDeviceCommandPtr command, QObject *parent)
{
    QList<ConfigLib *> out;
    ConfigLibStore *store = ConfigLibStore::of(command.data());
    if (!store)
        return out;
    const QMap<int, ConfigLibRecord> reader = byId(readerList(command.data()));
    const QMap<int, ConfigLibRecord> sets = store->records();
    for (const ConfigLibRecord &r : sets) {
        auto *lib = new ConfigLib(command, parent);
        if (lib->fromRecord(reader.contains(r.id) ? reader.value(r.id).toHex() : r.toHex())) {
            lib->m_record = r;
            lib->m_edited = KxDataStreamParser();
            lib->m_edited.setDataWithoutHeader(r.body);
            out << lib;
        } else {
            delete lib;
        }
    }
    return out;  // id order (the store's map)
}

bool ConfigLib::anyEnabled(KxDeviceCommandPtr command)
{
    ConfigLibStore *store = ConfigLibStore::of(command.data());
    if (!store)
        return false;
    for (const ConfigLibRecord &r : store->records()) {
        if (r.enable)
            return true;
    }
    return false;
}
