#include "KxIconHelper.h"

#include <QAbstractButton>
#include <QDebug>
#include <QFontDatabase>
#include <QLabel>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>

namespace
{
QBasicMutex s_mutex;
bool s_loaded = false;
QString s_families[2];

QString loadOne(const QString &name, const QString &resource)
{
    const int id = QFontDatabase::addApplicationFont(resource);
    const QStringList families =
        id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty()) {
        qWarning() << QStringLiteral("load %1 error").arg(name);
        return QString();
    }
    return families.first();
}
} // namespace

bool KxIconHelper::loadFonts()
{
    QMutexLocker lock(&s_mutex);
    if (!s_loaded) {
        s_families[IconFont] =
            loadOne(QStringLiteral("iconfont"), QStringLiteral(":/libcore_res/font/iconfont.ttf"));
        s_families[FontAwesome] =
            loadOne(QStringLiteral("FontAwesome"),
                    QStringLiteral(":/libcore_res/font/fontawesome-webfont.ttf"));
        s_loaded = true;
    }
    return !s_families[IconFont].isEmpty() && !s_families[FontAwesome].isEmpty();
}

QString KxIconHelper::family(Font font)
{
    loadFonts();
    QMutexLocker lock(&s_mutex);
    return s_families[font];
}

QFont KxIconHelper::font(Font which, int pixelSize)
{
    QFont f(family(which));
    f.setPixelSize(qMax(1, pixelSize));
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QPixmap KxIconHelper::pixmap(QChar glyph, int size, const QColor &color, Font which)
{
    const int side = qMax(1, size);
    QPixmap pix(side, side);
    pix.fill(Qt::transparent);
    QPainter painter(&pix);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    painter.setPen(color);
    painter.setFont(font(which, side * 7 / 8));
    painter.drawText(pix.rect(), Qt::AlignCenter, QString(glyph));
    painter.end();
    return pix;
}

QIcon KxIconHelper::icon(QChar glyph, int size, const QColor &color, const QColor &activeColor,
                         Font which)
{
    QIcon result;
    result.addPixmap(pixmap(glyph, size, color, which), QIcon::Normal);
    result.addPixmap(pixmap(glyph, size, activeColor.isValid() ? activeColor : color, which),
                     QIcon::Active);
    result.addPixmap(pixmap(glyph, size, QColor(0xa3, 0xa9, 0xb3), which), QIcon::Disabled);
    return result;
}

void KxIconHelper::setIcon(QAbstractButton *button, QChar glyph, int size, const QColor &color,
                           Font which)
{
    if (!button)
        return;
    button->setIcon(icon(glyph, size, color, QColor(0x0c, 0x34, 0x84), which));
    button->setIconSize(QSize(size, size));
}

void KxIconHelper::setIcon(QLabel *label, QChar glyph, int size, const QColor &color, Font which)
{
    if (!label)
        return;
    label->setPixmap(pixmap(glyph, size, color, which));
}
