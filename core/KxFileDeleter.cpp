#include "KxFileDeleter.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
void logLine(const QString &text)
{
    qInfo().noquote() << text;
}

// True when path is the directory dir itself or lies anywhere below it.
bool isBelow(const QString &canonicalDir, const QString &canonicalPath)
{
    const QString prefix =
        canonicalDir.endsWith(QLatin1Char('/')) ? canonicalDir : canonicalDir + QLatin1Char('/');
    return canonicalPath.startsWith(prefix);
}
} // namespace

KxFileDeleter::Check KxFileDeleter::check(const QString &targetDir, const QString &fileName)
{
    const QFileInfo dirInfo(targetDir);
    if (targetDir.isEmpty() || !dirInfo.isDir())
        return Check::TargetMissing;
    const QFileInfo fileInfo(fileName);
    // exists() follows links: a dangling link counts as missing.
    if (fileName.isEmpty() || !fileInfo.exists())
        return Check::FileMissing;
    // The link itself must lie below the target, and so must what it points at.
    const QString canonicalDir = dirInfo.canonicalFilePath();
    const QString linkParent = QFileInfo(fileInfo.absolutePath()).canonicalFilePath();
    if (canonicalDir.isEmpty() || linkParent.isEmpty()
        || !isBelow(canonicalDir, linkParent + QLatin1Char('/') + fileInfo.fileName())
        || !isBelow(canonicalDir, fileInfo.canonicalFilePath()))
        return Check::OutsideTarget;
    if (!fileInfo.isFile())
        return Check::NotRegularFile;
    return Check::Ok;
}

int KxFileDeleter::deleteFilesByFileNameList(const QString &targetDir, const QStringList &fileNames,
                                             const std::function<bool()> &keepRunning)
{
    if (targetDir.isEmpty() || !QFileInfo(targetDir).isDir()) {
        logLine(QStringLiteral("文件删除：目标目录不存在，跳过本次删除：") + targetDir);
        return 0;
    }
    int deleted = 0;
    for (const QString &name : fileNames) {
        if (keepRunning && !keepRunning()) {
            logLine(QStringLiteral("deleteFilesByFileNameList running break"));
            break;
        }
        switch (check(targetDir, name)) {
        case Check::TargetMissing:
            logLine(QStringLiteral("文件删除：目标目录不存在，跳过本次删除：") + targetDir);
            return deleted;
        case Check::FileMissing:
            logLine(QStringLiteral("文件删除：文件不存在，跳过删除：") + name);
            continue;
        case Check::OutsideTarget:
            logLine(QStringLiteral("文件删除：不在目标目录下，跳过删除：") + name);
            continue;
        case Check::NotRegularFile:
            logLine(QStringLiteral("文件删除：非普通文件，跳过删除：") + name);
            continue;
        case Check::Ok:
            break;
        }
        QFile file(name);
        if (file.remove()) {
            ++deleted;
        } else {
            qWarning().noquote() << QStringLiteral("文件删除：删除失败，错误信息：") + file.errorString()
                    + QStringLiteral("，文件路径：") + name;
        }
    }
    logLine(QStringLiteral("文件删除：目标目录") + targetDir + QStringLiteral("处理完成，成功删除")
            + QString::number(deleted) + QStringLiteral("个文件"));
    return deleted;
}
