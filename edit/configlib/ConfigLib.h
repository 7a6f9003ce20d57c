#pragma once
// One configuration set of a connected reader: its record as read and as edited, value lookups
// for the pages, and edits that go to the reader at once as "MPCADD" changes.
#include "ConfigLibRecord.h"
#include "KxDataStreamParser.h"
#include "KxDeviceTypes.h"

#include <QObject>
#include <QPointer>
#include <QVariant>

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

    // Takes a record as the reader sent it; false (nothing changed) when it is rejected.
    bool fromRecord(const QByteArray &hex, QString *error = nullptr);
    // The set as edited, as a record; empty when it cannot be written.
    QByteArray record() const;
    QByteArray recordAsRead() const { return m_readRaw; }

    int id() const { return m_record.id; }
    QString name() const { return m_record.name; }
    bool isEnabled() const { return m_record.enable != 0; }
    int retryCount() const { return m_record.retryCount; }

    // A field ("_Name", "_Enable", ...) or one of the set's command codes; applyNow sends the
    // set to the reader as a changed command. configChanged is emitted in every case.
    void setValue(const QString &key, const QVariant &value, bool applyNow);
    // The value of a field or code of the set; false when the set has no such key.
    QVariant read(const QString &key) const;
    // The changed-command entry of the set: "MPCADD" with the set's record.
    ChangedCmdInfo changedCmd() const;

    // Every set of the reader's command object, by id, parented to parent.
    static QList<ConfigLib *> load(KxDeviceCommandPtr command, QObject *parent);

signals:
    void configChanged(int id, const QString &cmd, const QString &value);
    // The reader answered an applied change: ok, or the codes it refused.
    void applied(bool ok);

private:
    void reparse();

    ConfigLibRecord m_record;
    bool m_flagGroup = false;
    bool m_flagTask = false;
    KxDataStreamParser m_asRead;
    KxDataStreamParser m_edited;
    KxDeviceCommandPtr m_command;
    QByteArray m_readRaw;
    QByteArray m_writtenRaw;
};
