#pragma once
// Icon fonts as button icons: glyphs of "iconfont" and "FontAwesome" drawn into pixmaps.
#include <QChar>
#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QString>

class QAbstractButton;
class QLabel;

class KxIconHelper
{
public:
    enum Font { IconFont, FontAwesome };

    // Loads both fonts from the resources once; false when one could not be loaded.
    static bool loadFonts();
    static QString family(Font font); // empty when not loaded
    static QFont font(Font font, int pixelSize);

    static QPixmap pixmap(QChar glyph, int size, const QColor &color, Font font = FontAwesome);
    // Normal, active (hover) and disabled colours in one icon.
    static QIcon icon(QChar glyph, int size, const QColor &color,
                      const QColor &activeColor = QColor(), Font font = FontAwesome);
    static void setIcon(QAbstractButton *button, QChar glyph, int size, const QColor &color,
                        Font font = FontAwesome);
    static void setIcon(QLabel *label, QChar glyph, int size, const QColor &color,
                        Font font = FontAwesome);
};
