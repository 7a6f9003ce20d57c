#include "TrainingDataSet.h"

#include <KZip>

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace TrainingDataSet
{

QStringList imageFiles(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("*.png"), QStringLiteral("*.jpg"), QStringLiteral("*.jpeg"),
                                   QStringLiteral("*.bmp"), QStringLiteral("*.PNG"), QStringLiteral("*.JPG"),
                                   QStringLiteral("*.JPEG"), QStringLiteral("*.BMP")},
                                  QDir::Files, QDir::Name);
}

QString cleanLabel(const QString &text)
{
    QString t = text;
    t.replace(QLatin1Char('\t'), QLatin1Char(' '));
    t.replace(QLatin1Char('\r'), QLatin1Char(' '));
    t.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return t.trimmed();
}

QMap<QString, QString> readLabels(const QString &folder)
{
    QMap<QString, QString> labels;
    QFile f(QDir(folder).filePath(QStringLiteral("label.txt")));
    if (!f.open(QIODevice::ReadOnly))
        return labels;
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const int tab = line.indexOf(QLatin1Char('\t'));
        if (tab <= 0)
            continue;
        const QString text = cleanLabel(line.mid(tab + 1));
        if (!text.isEmpty())
            labels.insert(line.left(tab), text);
    }
    return labels;
}

static QByteArray labelText(const QMap<QString, QString> &labels)
{
    QByteArray out;
    for (auto it = labels.begin(); it != labels.end(); ++it) {
        const QString text = cleanLabel(it.value());
        if (!text.isEmpty())
            out += it.key().toUtf8() + '\t' + text.toUtf8() + '\n';
    }
    return out;
}

bool writeLabels(const QString &folder, const QMap<QString, QString> &labels, QString *error)
{
    QSaveFile f(QDir(folder).filePath(QStringLiteral("label.txt")));
    const QByteArray text = labelText(labels);
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size() || !f.commit()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

bool pack(const QString &folder, const QMap<QString, QString> &labels, const QString &zipPath, QString *error)
{
    auto failed = [error](const QString &e) {
        if (error)
            *error = e;
        return false;
    };
    QMap<QString, QString> used;
    for (auto it = labels.begin(); it != labels.end(); ++it) {
        if (!cleanLabel(it.value()).isEmpty() && QFile::exists(QDir(folder).filePath(it.key())))
            used.insert(it.key(), it.value());
    }
    if (used.isEmpty())
        return failed(QStringLiteral("no labelled images"));
    QFile::remove(zipPath);
    KZip zip(zipPath);
    if (!zip.open(QIODevice::WriteOnly))
        return failed(QStringLiteral("cannot write ") + zipPath);
    bool ok = zip.writeFile(QStringLiteral("label.txt"), labelText(used));
    for (auto it = used.begin(); ok && it != used.end(); ++it)
        ok = zip.addLocalFile(QDir(folder).filePath(it.key()), QStringLiteral("images/") + it.key());
    ok = zip.close() && ok;
    if (!ok) {
        QFile::remove(zipPath);
        return failed(QStringLiteral("cannot write ") + zipPath);
    }
    return true;
}

} // namespace TrainingDataSet
