#include "ImageAutoSaveRules.h"

#include <QRandomGenerator>

namespace ImageAutoSaveRules {

int jpegQuality(const QString &imageQuality)
{
    const QString q = imageQuality.trimmed();
    if (q == QLatin1String("0"))
        return 30;
    if (q == QLatin1String("2"))
        return 90;
    if (q == QLatin1String("4"))
        return 100;
    return 60;
}

QString extension(const QString &imageFileType)
{
    const QString t = imageFileType.trimmed();
    if (t == QLatin1String("0"))
        return QStringLiteral(".jpg");
    if (t == QLatin1String("1"))
        return QStringLiteral(".bmp");
    if (t == QLatin1String("2"))
        return QStringLiteral(".png");
    if (t == QLatin1String("3"))
        return QStringLiteral(".tiff");
    return QString();
}

QByteArray qtFormat(const QString &extension)
{
    const QString e = extension.toLower();
    if (e == QLatin1String(".jpg") || e == QLatin1String("jpg"))
        return "JPG";
    if (e == QLatin1String(".bmp") || e == QLatin1String("bmp"))
        return "BMP";
    if (e == QLatin1String(".png") || e == QLatin1String("png"))
        return "PNG";
    if (e == QLatin1String(".tiff") || e == QLatin1String("tiff") || e == QLatin1String(".tif")
        || e == QLatin1String("tif"))
        return "TIFF";
    return QByteArray();
}

QString sanitize(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        // Separators and the characters file systems refuse would split or break the path.
        if (c.unicode() < 32 || c.unicode() == 127 || QStringLiteral("/\\:*?\"<>|").contains(c))
            c = QLatin1Char('#');
    }
    return out;
}

QString baseName(const QDateTime &when, quint32 random, const QString &decodedText,
                 int folderPathLength)
{
    QString name = QStringLiteral("%1_%2").arg(when.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")))
                       .arg(random);
    if (!decodedText.isEmpty()) {
        // Long paths break on some file systems: the text gives way first.
        const int room = qMax(0, qMin(50, 240 - folderPathLength));
        name += QStringLiteral("_barcode_") + sanitize(decodedText.left(room));
    }
    return name;
}

bool reserveBlocks(qint64 freeGb, int reserveGb, const QString &imageStrategy, bool noSpaceFlag)
{
    return freeGb < reserveGb && (imageStrategy.trimmed() == QLatin1String("0") || noSpaceFlag);
}

quint32 randomNumber()
{
    return QRandomGenerator::global()->bounded(100000000u, 1000000000u);
}

QString folderWithSeparator(const QString &folder)
{
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\')))
        return folder;
    return folder + QLatin1Char('/');
}

}  // namespace ImageAutoSaveRules
