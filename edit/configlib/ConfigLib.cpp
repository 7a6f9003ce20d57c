#include "ConfigLib.h"

#include "KxDeviceCommand.h"
#include "KxI18nUtil.h"

const QString ConfigLib::KeyEnable = QStringLiteral("_Enable");
const QString ConfigLib::KeyName = QStringLiteral("_Name");
const QString ConfigLib::KeyRetryCount = QStringLiteral("_RetryCount");
const QString ConfigLib::KeyImageGroupNo = QStringLiteral("_ImageGroupNo");
const QString ConfigLib::KeyTaskNo = QStringLiteral("_TaskNo");

ConfigLib::ConfigLib(KxDeviceCommandPtr command, QObject *parent)
    : QObject(parent), m_command(std::move(command))
{
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
    reparse();
    return true;
}

void ConfigLib::reparse()
{
    m_edited = KxDataStreamParser();
    m_edited.setDataWithoutHeader(m_record.body);
}

QByteArray ConfigLib::record() const
{
    return m_record.toHex();
}

void ConfigLib::setValue(const QString &key, const QVariant &value, bool applyNow)
{
    if (key == KeyName) {
        m_record.name = value.toString();
    } else if (key == KeyEnable) {
        m_record.enable = value.toInt() ? 1 : 0;
    } else if (key == KeyRetryCount) {
        m_record.retryCount = qBound(1, value.toInt(), ConfigLibRecord::MaxRetryCount);
    } else if (key == KeyImageGroupNo) {
        m_record.hasImageGroup = m_flagGroup = true;
        m_record.imageGroupNo = value.toInt();
    } else if (key == KeyTaskNo) {
        m_flagTask = true;
        m_record.taskNo = value.toInt();
    } else {
        m_record.setValue(key, value.toString().toUtf8());
        reparse();
    }
    if (applyNow && m_command) {
        m_writtenRaw = record();
        // The reply holds one set only: it must not replace the reader's list of sets.
        QPointer<ConfigLib> self(this);
        m_command->sendCmdAsync(changedCmd(), this, false, [self](bool ok, const QStringList &) {
            if (self)
                emit self->applied(ok);
        });
    }
    emit configChanged(m_record.id, key, value.toString());
}

QVariant ConfigLib::read(const QString &key) const
{
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
    ChangedCmdInfo c;
    c.code = QStringLiteral("MPCADD");
    c.name = kxTr(QStringLiteral("#IDS_ConfigLib"));
    c.value = QString::fromLatin1(record());
    c.displayValue = c.value;
    c.previous = QString::fromLatin1(m_readRaw);
    return c;
}

QList<ConfigLib *> ConfigLib::load(KxDeviceCommandPtr command, QObject *parent)
{
    QList<ConfigLib *> out;
    if (!command)
        return out;
    const QMap<int, QByteArray> sets = command->configurationSets();
    for (const QByteArray &raw : sets) {
        auto *lib = new ConfigLib(command, parent);
        if (lib->fromRecord(raw))
            out << lib;
        else
            delete lib;
    }
    std::sort(out.begin(), out.end(), [](ConfigLib *a, ConfigLib *b) { return a->id() < b->id(); });
    return out;
}
