#pragma once
// Local aliases of readers, kept in the data directory's "alias.ini" (one JSON object, UTF-8,
// reader key -> alias text). Loaded on creation; every change rewrites the whole file.
#include <QMap>
#include <QMutex>
#include <QString>

class KxDeviceAlias
{
public:
    static KxDeviceAlias *instance();

    // The alias of a reader key; empty when none is stored or the key is empty.
    QString alias(const QString &key) const;
    // Stores (or, with an empty text, removes) an alias and rewrites the file. False when the
    // key is empty or the file could not be written; the alias then lives for this session only.
    bool setAlias(const QString &key, const QString &text);
    // The reader key holding an alias, empty when no reader has it.
    QString keyOfAlias(const QString &text) const;
    QMap<QString, QString> aliases() const;

    // Loads another alias file in place of the current one (the data directory changed, tests).
    void load(const QString &file);
    QString file() const;

    // Parses the file content; false (and an empty map) when it is not one JSON object.
    static bool parse(const QByteArray &content, QMap<QString, QString> *aliases);

private:
    KxDeviceAlias();
    bool save();

    mutable QMutex m_mutex;
    QString m_file;
    QMap<QString, QString> m_aliases;
};
