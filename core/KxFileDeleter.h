#pragma once
// Deletes the files named by a list, but only regular files that really lie below a target
// directory: records come from a database file that anyone with access to the profile can edit.
#include <QString>
#include <QStringList>

#include <functional>

class KxFileDeleter
{
public:
    // Returns the number of files deleted. keepRunning is asked before each file; when it
    // returns false the run stops.
    static int deleteFilesByFileNameList(const QString &targetDir, const QStringList &fileNames,
                                         const std::function<bool()> &keepRunning = {});

    enum class Check { Ok, TargetMissing, FileMissing, OutsideTarget, NotRegularFile };
    // Whether fileName may be deleted as a file below targetDir; paths are compared after
    // resolving "..", "." and symbolic links.
    static Check check(const QString &targetDir, const QString &fileName);
};
