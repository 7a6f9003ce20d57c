#include "ResultOutputIcons.h"

#include <QFile>
#include <QFontDatabase>
#include <QHash>
#include <QPainter>
#include <QPixmap>

namespace {
QString iconFamily()
{
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(
            QStringLiteral(":/libcore_res/font/fontawesome-webfont.ttf"));
        const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? QString() : families.first();
    }();
    return family;
}

QPixmap glyph(ushort code, int side, const QColor &color)
{
    QPixmap pix(side, side);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const QString family = iconFamily();
    if (family.isEmpty()) {
        // No font: a plain dot keeps the button recognisable as one.
        p.setBrush(color);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(side * 0.3, side * 0.3, side * 0.4, side * 0.4));
        return pix;
    }
    QFont f(family);
    f.setPixelSize(qMax(1, side * 7 / 8));
    p.setFont(f);
    p.setPen(color);
    p.drawText(pix.rect(), Qt::AlignCenter, QString(QChar(code)));
    return pix;
}
}  // namespace

QIcon ResultOutputIcons::icon(const QString &name)
{
    const QString normal = QStringLiteral(":/res/output/%10.png").arg(name);
    if (QFile::exists(normal)) {
        QIcon icon(normal);
        const QString active = QStringLiteral(":/res/output/%11.png").arg(name);
        if (QFile::exists(active))
            icon.addFile(active, QSize(), QIcon::Active);
        return icon;
    }
    static const QHash<QString, ushort> codes = {
        {QStringLiteral("clear"), 0xf1f8}, {QStringLiteral("copy"), 0xf0c5},
        {QStringLiteral("export"), 0xf1c3}, {QStringLiteral("custom"), 0xf0db}};
    const ushort code = codes.value(name, 0xf059);
    QIcon icon;
    for (int side : {16, 32}) {
        icon.addPixmap(glyph(code, side, QColor(0x0c, 0x34, 0x84)), QIcon::Normal);
        icon.addPixmap(glyph(code, side, QColor(0x2a, 0x5c, 0xc8)), QIcon::Active);
    }
    return icon;
}
