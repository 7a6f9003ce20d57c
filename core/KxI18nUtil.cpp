#include "KxI18nUtil.h"

#include <QDebug>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>

KxI18nUtil *KxI18nUtil::instance()
{
    static QMutex creation;
    static KxI18nUtil *self = nullptr;
    QMutexLocker lock(&creation);
    if (!self)
        self = new KxI18nUtil; // kept until exit
    return self;
}

QHash<QString, QString> KxI18nUtil::readLanguageFile(const QString &path, bool *ok)
{
    QHash<QString, QString> texts;
    if (ok)
        *ok = false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return texts;
    QDomDocument doc;
    QString error;
    int line = 0;
    if (!doc.setContent(&file, &error, &line)) {
        qWarning() << "KxI18nUtil::readLanguageFile..." << path << "line" << line << error;
        return texts;
    }
    const QDomNodeList props = doc.documentElement().elementsByTagName(QStringLiteral("property"));
    for (int i = 0; i < props.size(); ++i) {
        const QDomElement prop = props.at(i).toElement();
        QString id = prop.attribute(QStringLiteral("id")).trimmed();
        if (id.startsWith(QLatin1Char('#')))
            id.remove(0, 1);
        if (id.isEmpty())
            continue;
        texts.insert(id, prop.text());
    }
    if (ok)
        *ok = true;
    return texts;
}

bool KxI18nUtil::loadMain(const QString &resourcesDir, const QString &lang)
{
    bool ok = false;
    QHash<QString, QString> texts =
        readLanguageFile(QStringLiteral("%1/i18n/%2.xml").arg(resourcesDir, lang), &ok);
    QMutexLocker lock(&m_mutex);
    m_main = std::move(texts);
    return ok;
}

void KxI18nUtil::overlayMain(const QHash<QString, QString> &texts)
{
    QMutexLocker lock(&m_mutex);
    for (auto it = texts.cbegin(); it != texts.cend(); ++it) {
        QString id = it.key();
        if (id.startsWith(QLatin1Char('#')))
            id.remove(0, 1);
        if (!id.isEmpty())
            m_main.insert(id, it.value());
    }
}

void KxI18nUtil::loadDeviceModel(const QString &modelDir, const QString &lang)
{
    const QString path = QStringLiteral("%1/i18n/%2.xml").arg(modelDir, lang);
    QHash<QString, QString> texts;
    if (!modelDir.isEmpty() && QFileInfo::exists(path))
        texts = readLanguageFile(path);
    QMutexLocker lock(&m_mutex);
    m_device = std::move(texts);
}

void KxI18nUtil::clear()
{
    QMutexLocker lock(&m_mutex);
    m_main.clear();
    m_device.clear();
}

// The stored text of a key with a suffix is a list of "name:text" variants separated by '|'.
static bool pickVariant(const QString &variants, const QString &suffix, QString *text)
{
    const QStringList parts = variants.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const int colon = part.indexOf(QLatin1Char(':'));
        if (colon < 0)
            continue; // a part without a name cannot match any suffix
        if (part.leftRef(colon) == suffix) {
            *text = part.mid(colon + 1);
            return true;
        }
    }
    return false;
}

QString KxI18nUtil::translate(const QString &key, const QString &suffix, bool *found) const
{
    if (!key.startsWith(QLatin1Char('#'))) {
        if (found)
            *found = true;
        return suffix.isEmpty() ? key : QStringLiteral("%1_%2").arg(key, suffix);
    }
    const QString id = key.mid(1);
    QString stored;
    bool known = false;
    {
        QMutexLocker lock(&m_mutex);
        auto it = m_main.constFind(id);
        if (it != m_main.cend()) {
            stored = it.value();
            known = true;
        } else {
            it = m_device.constFind(id);
            if (it != m_device.cend()) {
                stored = it.value();
                known = true;
            }
        }
    }
    if (known) {
        if (suffix.isEmpty()) {
            if (found)
                *found = true;
            return stored;
        }
        QString text;
        if (pickVariant(stored, suffix, &text)) {
            if (found)
                *found = true;
            return text;
        }
    }
    if (found)
        *found = false;
    return suffix.isEmpty() ? id : QStringLiteral("%1_%2").arg(id, suffix);
}
