#include "EditIcons.h"

#include <QDebug>
#include <QFile>
#include <QFontDatabase>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>
#include <QPixmap>

namespace {
QBasicMutex s_mutex;
bool s_tried = false;
QString s_family;

QString family()
{
    QMutexLocker lock(&s_mutex);
    if (!s_tried) {
        s_tried = true;
        const int id = QFontDatabase::addApplicationFont(
            QStringLiteral(":/libcore_res/font/fontawesome-webfont.ttf"));
        const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
        if (families.isEmpty())
            qWarning() << "EditIcons::family()...icon font not available";
        else
            s_family = families.first();
    }
    return s_family;
}

QPixmap glyphPixmap(QChar glyph, int size, const QColor &color, qreal dpr)
{
    const int side = qMax(1, qRound(size * dpr));
    QPixmap pix(side, side);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    QFont f(family());
    f.setPixelSize(qMax(1, side * 7 / 8));
    f.setStyleStrategy(QFont::PreferAntialias);
    p.setFont(f);
    p.setPen(color);
    p.drawText(pix.rect(), Qt::AlignCenter, QString(glyph));
    p.end();
    pix.setDevicePixelRatio(dpr);
    return pix;
}
}  // namespace

namespace EditIcons {

QChar glyphFor(const QString &name)
{
    static const QHash<QString, ushort> glyphs = {
        // edit frame tool bar (layout icon names)
        {"mainpage", 0xf015}, {"settings", 0xf013}, {"tools", 0xf0ad}, {"configlib", 0xf1c0},
        {"quick", 0xf0e7}, {"advanced", 0xf1de},
        // advanced settings navigation
        {"nav_comm", 0xf0ec}, {"nav_read", 0xf02a}, {"nav_image", 0xf030}, {"nav_area", 0xf125},
        {"nav_barcode", 0xf029}, {"nav_output", 0xf08b}, {"nav_system", 0xf085},
        {"nav_tools", 0xf0ad},
        // advanced settings tool bar
        {"Id_Btn_ImportCfg", 0xf019}, {"Id_Btn_ExportCfg", 0xf093}, {"Id_Btn_SearchCmd", 0xf002},
        {"Id_Btn_ConfigHistory", 0xf1da}, {"Id_Btn_SendCmd", 0xf120}, {"Id_Btn_Default", 0xf0e2},
        {"Id_Btn_SaveToDevice", 0xf0c7}, {"Id_Btn_DeviceLog", 0xf15c},
    };
    const auto it = glyphs.constFind(name);
    return it == glyphs.constEnd() ? QChar() : QChar(it.value());
}

bool fontAvailable()
{
    return !family().isEmpty();
}

QIcon icon(const QString &name, int size, const QColor &color, const QColor &checkedColor)
{
    const QString shipped = QStringLiteral(":/res/control/%1.png").arg(name);
    if (QFile::exists(shipped)) {
        QIcon ic(shipped);
        const QString checked = QStringLiteral(":/res/control/%1_checked.png").arg(name);
        if (QFile::exists(checked))
            ic.addFile(checked, QSize(), QIcon::Normal, QIcon::On);
        return ic;
    }
    const QChar glyph = glyphFor(name);
    if (glyph.isNull() || !fontAvailable())
        return QIcon();
    QIcon ic;
    for (const qreal dpr : {1.0, 2.0}) {
        ic.addPixmap(glyphPixmap(glyph, size, color, dpr), QIcon::Normal, QIcon::Off);
        ic.addPixmap(glyphPixmap(glyph, size, checkedColor, dpr), QIcon::Normal, QIcon::On);
        ic.addPixmap(glyphPixmap(glyph, size, checkedColor, dpr), QIcon::Active, QIcon::Off);
        ic.addPixmap(glyphPixmap(glyph, size, checkedColor, dpr), QIcon::Active, QIcon::On);
        ic.addPixmap(glyphPixmap(glyph, size, QColor(0xbf, 0xbf, 0xbf), dpr), QIcon::Disabled);
    }
    return ic;
}

}  // namespace EditIcons
