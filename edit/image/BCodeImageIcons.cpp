#include "BCodeImageIcons.h"

#include <QFile>
#include <QFontDatabase>
#include <QHash>
#include <QMutex>
#include <QPainter>
#include <QPixmap>

namespace {
QString glyphFamily()
{
    static QMutex mutex;
    static bool tried = false;
    static QString family;
    QMutexLocker lock(&mutex);
    if (!tried) {
        tried = true;
        const int id = QFontDatabase::addApplicationFont(
            QStringLiteral(":/libcore_res/font/fontawesome-webfont.ttf"));
        const QStringList f = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
        if (!f.isEmpty())
            family = f.first();
    }
    return family;
}

QPixmap glyph(ushort code, int size, const QColor &color)
{
    QPixmap pix(size * 2, size * 2);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    QFont f(glyphFamily());
    f.setPixelSize(size * 2 * 7 / 8);
    p.setFont(f);
    p.setPen(color);
    p.drawText(pix.rect(), Qt::AlignCenter, QString(QChar(code)));
    p.end();
    pix.setDevicePixelRatio(2);
    return pix;
}
}  // namespace

namespace BCodeImageIcons {

QIcon icon(const QString &base, int size)
{
    const QString off = QStringLiteral(":/res/%1%2.png").arg(base, QStringLiteral("0"));
    const QString on = QStringLiteral(":/res/%1%2.png").arg(base, QStringLiteral("1"));
    if (QFile::exists(off)) {
        QIcon i(off);
        if (QFile::exists(on))
            i.addFile(on, QSize(), QIcon::Normal, QIcon::On);
        return i;
    }
    static const QHash<QString, ushort> glyphs = {
        {"save", 0xf0c7},       {"autosave", 0xf01e},       {"showfit", 0xf066},
        {"fullscreen", 0xf065}, {"exitfullscreen", 0xf066}, {"imagesettings", 0xf013},
        {"play", 0xf04b},       {"stop", 0xf04d},           {"getimg", 0xf030},
        {"decodefile", 0xf1c5}, {"expand", 0xf053},         {"contract", 0xf054}};
    if (glyphFamily().isEmpty() || !glyphs.contains(base))
        return QIcon();
    QIcon i;
    i.addPixmap(glyph(glyphs.value(base), size, QColor(0x33, 0x33, 0x33)), QIcon::Normal, QIcon::Off);
    i.addPixmap(glyph(glyphs.value(base), size, QColor(0x0c, 0x34, 0x84)), QIcon::Normal, QIcon::On);
    i.addPixmap(glyph(glyphs.value(base), size, QColor(0xb0, 0xb0, 0xb0)), QIcon::Disabled, QIcon::Off);
    return i;
}

}  // namespace BCodeImageIcons
