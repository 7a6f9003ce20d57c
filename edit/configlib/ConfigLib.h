#pragma once
// One configuration set of a connected reader: value lookups for the pages, and edits that go to
// the reader at once as an "MPCADD" change.
//
// Every ConfigLib of a reader is a view on one shared list kept beside the reader's command
// object (ConfigLibStore): the sets as last edited here. The changed-command entry of a set
// carries that whole list, so the engine's one entry per code keeps every set changed before a
// save, and discarding puts every set back. While no change is on its way the list follows what
// the reader answered.
#include "ConfigLibRecord.h"
#include "KxDataStreamParser.h"
#include "KxDeviceTypes.h"

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QVariant>

class ConfigLibStore;

class ConfigLib : public QObject
{
    Q_OBJECT
public:
    // The field keys of a set besides its command codes.
    static const QString KeyEnable;
    static const QString KeyName;
    static const QString KeyRetryCount;
    static const QString KeyImageGroupNo;
    static const QString KeyTaskNo;

    explicit ConfigLib(KxDeviceCommandPtr command = {}, QObject *parent = nullptr);

    // Takes a record as the reader sent it; false (nothing changed) when it is rejected. A set
    // without a reader keeps it for itself.
    bool fromRecord(const QByteArray &hex, QString *error = nullptr);
    // The set as edited, as a record; empty when it cannot be written.
    QByteArray record() const;
    QByteArray recordAsRead() const { return m_readRaw; }
    ConfigLibRecord edited() const;

    int id() const { return m_record.id; }
    QString name() const;
    bool isEnabled() const;
    int retryCount() const;

    // A field ("_Name", "_Enable", ...) or one of the set's command codes; applyNow sends the
    // reader's whole list of sets as a changed command. configChanged is emitted in every case.
    void setValue(const QString &key, const QVariant &value, bool applyNow);
    // Several values at once (a copy), sent as one change when applyNow.
    void setValues(const QMap<QString, QVariant> &values, bool applyNow);
    // Sends the sets as they are now (after setValue(..., false)).
    void apply();
    // The value of a field or code of the set; false when the set has no such key.
    QVariant read(const QString &key) const;
    // The changed-command entry: "MPCADD" with every set of the reader as edited, joined by
    // "|"; its display value names the sets that differ from what the reader has stored.
    ChangedCmdInfo changedCmd() const;

    // Every set of the reader's command object, by id, parented to parent.
    static QList<ConfigLib *> load(KxDeviceCommandPtr command, QObject *parent);
    // Whether any set of the reader is enabled, as edited.
    static bool anyEnabled(KxDeviceCommandPtr command);

signals:
    // cmd empty: the set was taken again from the reader (any field may differ).
    void configChanged(int id, const QString &cmd, const QString &value);
    // The reader answered an applied change: ok, or refused (the sets show what it holds).
    void applied(bool ok);

private:
    void pull() const;
    void store(const QString &key, const QVariant &value);
    void send();
    void onStoreReloaded();

    mutable ConfigLibRecord m_record;
    bool m_flagGroup = false;
    bool m_flagTask = false;
    mutable KxDataStreamParser m_asRead;
    mutable KxDataStreamParser m_edited;
    KxDeviceCommandPtr m_command;
    QPointer<ConfigLibStore> m_store;
    QByteArray m_readRaw;
    QByteArray m_writtenRaw;
};

// The reader's sets as edited, shared by every ConfigLib of one command object (its child).
class ConfigLibStore : public QObject
{
    Q_OBJECT
public:
    static ConfigLibStore *of(KxDeviceCommand *command);

    // Follows the reader unless a change is on its way or an edit is kept back.
    void follow();
    QMap<int, ConfigLibRecord> records();
    ConfigLibRecord record(int id);
    void put(const ConfigLibRecord &r, bool kept);
    QByteArray joined();
    // What the reader keeps over a restart: the list before the first unsaved change.
    QByteArray stored() const;
    KxDeviceCommand *command() const;

signals:
    void reloaded();

private:
    explicit ConfigLibStore(KxDeviceCommand *command);

    QMap<int, ConfigLibRecord> m_records;
    QByteArray m_base;
    bool m_kept = false;
};
