#pragma once
// The naming and format rules of automatic image saving, kept pure so they can be checked
// without a reader or a disk.
#include <QDateTime>
#include <QString>

namespace ImageAutoSaveRules {

// "imageQuality" to a JPEG quality: 0 gives 30, 2 gives 90, 4 gives 100, anything else 60.
int jpegQuality(const QString &imageQuality);
// "imageFileType" to the file extension with its dot: ".jpg", ".bmp", ".png", ".tiff", or
// empty for anything else.
QString extension(const QString &imageFileType);
// The image format name Qt writes for an extension ("JPG", "BMP", ...); empty: raw bytes.
QByteArray qtFormat(const QString &extension);
// Control characters (below 32, and 127) and characters a file name cannot hold become "#".
QString sanitize(const QString &text);
// Base name "yyyy-MM-dd_HH-mm-ss_<random>" plus "_barcode_<text>" when text is not empty; the
// text is cut to the smaller of 50 and 240 minus the folder path's length.
QString baseName(const QDateTime &when, quint32 random, const QString &decodedText,
                 int folderPathLength);
// Whether the free space stops saving: below the reserve, when pruning is off (strategy "0")
// or the disk monitor has given up ("noSpaceAnddontSaveImage").
bool reserveBlocks(qint64 freeGb, int reserveGb, const QString &imageStrategy, bool noSpaceFlag);
// A random nine-digit number, 100000000 .. 999999999.
quint32 randomNumber();
// The folder with a trailing separator.
QString folderWithSeparator(const QString &folder);

}  // namespace ImageAutoSaveRules
