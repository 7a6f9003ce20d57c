#pragma once
// Settings of the per-reader image saver, group "IMGSAVER" of the settings file.
#include <QString>

struct ImageSaverSettings
{
    static constexpr int kDefaultDiskLimitMb = 5120;
    static constexpr int kDefaultCheckIntervalSec = 300;

    QString savePath;  // base folder; the data directory's "images" when empty
    int diskLimitMb = kDefaultDiskLimitMb;
    int checkIntervalSec = kDefaultCheckIntervalSec;

    // Reads the group; invalid numbers fall back to the defaults (logged), an empty path is
    // replaced by the default and stored back.
    static ImageSaverSettings load();
    void save() const;
    // The reader's folder under the base folder: "%1/%2" with every ":" of the id as "_".
    static QString folderFor(const QString &basePath, const QString &deviceId);
};
