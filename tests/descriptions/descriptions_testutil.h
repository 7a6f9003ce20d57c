#pragma once
// Small helpers for the description tests: write crafted files into a temporary directory.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

inline bool writeTextFile(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(text) == text.size();
}
