#include "KxDeviceAlias.h"

#include "KxConfig.h"

#include <QDebug>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>
#include <QSaveFile>

KxDeviceAlias *KxDeviceAlias::instance()
{
    static QMutex creation;
    static KxDeviceAlias *self = nullptr;
    QMutexLocker lock(&creation);
    if (!self)
        self = new KxDeviceAlias; // kept until exit
    return self;
}

KxDeviceAlias::KxDeviceAlias()
{
    load(KxConfig::instance()->aliasFile());
}

bool KxDeviceAlias::parse(const QByteArray &content, QMap<QString, QString> *aliases)
{
    aliases->clear();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(content, &error);
    if (!doc.isObject())
        return false;
    const QJsonObject object = doc.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString text = it.value().toString();
        if (!it.key().isEmpty() && !text.isEmpty())
            aliases->insert(it.key(), text);
    }
    return true;
}

void KxDeviceAlias::load(const QString &file)
{
    QMutexLocker lock(&m_mutex);
    m_file = file;
    m_aliases.clear();
    QFile in(file);
    if (file.isEmpty() || !in.open(QIODevice::ReadOnly))
        return;
    const QByteArray content = in.readAll();
    in.close();
    if (content.trimmed().isEmpty() || parse(content, &m_aliases))
        return;
    // Keep the damaged file aside: the next change rewrites alias.ini, and the old aliases
    // may still be recovered by hand from the copy.
    const QString copy = file + QStringLiteral(".corrupt");
    QFile::remove(copy);
    QFile::copy(file, copy);
    qWarning() << "KxDeviceAlias::load... not a JSON object, starting empty:" << file
               << "kept as" << copy;
}

QString KxDeviceAlias::file() const
{
    QMutexLocker lock(&m_mutex);
    return m_file;
}

QString KxDeviceAlias::alias(const QString &key) const
{
    if (key.isEmpty())
        return QString();
    QMutexLocker lock(&m_mutex);
    return m_aliases.value(key);
}

QString KxDeviceAlias::keyOfAlias(const QString &text) const
{
    if (text.isEmpty())
        return QString();
    QMutexLocker lock(&m_mutex);
    for (auto it = m_aliases.cbegin(); it != m_aliases.cend(); ++it) {
        if (it.value() == text)
            return it.key();
    }
    return QString();
}

QMap<QString, QString> KxDeviceAlias::aliases() const
{
    QMutexLocker lock(&m_mutex);
    return m_aliases;
}

bool KxDeviceAlias::setAlias(const QString &key, const QString &text)
{
    if (key.isEmpty())
        return false;
    QMutexLocker lock(&m_mutex);
    if (text.isEmpty())
        m_aliases.remove(key);
    else
        m_aliases.insert(key, text);
    return save();
}

// Called with the mutex held. QSaveFile writes a temporary file and renames it over the old
// one, so an interrupted write never leaves a half-written alias file.
bool KxDeviceAlias::save()
{
    if (m_file.isEmpty())
        return false;
    QJsonObject object;
    for (auto it = m_aliases.cbegin(); it != m_aliases.cend(); ++it)
        object.insert(it.key(), it.value());
    QSaveFile out(m_file);
    if (!out.open(QIODevice::WriteOnly)) {
        qWarning() << "KxDeviceAlias::save... cannot open" << m_file << out.errorString();
        return false;
    }
    out.write(QJsonDocument(object).toJson(QJsonDocument::Indented));
    if (!out.commit()) {
        qWarning() << "KxDeviceAlias::save... cannot write" << m_file << out.errorString();
        return false;
    }
    return true;
}
