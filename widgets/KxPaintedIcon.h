#pragma once
// Small vector icons drawn with QPainter, so the common widgets need no image files and stay
// sharp at any scale.
#include <QColor>
#include <QIcon>
#include <QPixmap>

enum class KxIconShape { Close, Info, Question, Warning, Error, Success, Search, Clear };

QPixmap kxPaintedPixmap(KxIconShape shape, int size, const QColor &color = QColor(),
                        qreal devicePixelRatio = 1.0);
// An icon with the pixmap at 1x and 2x; an invalid colour picks the shape's own colour.
QIcon kxPaintedIcon(KxIconShape shape, int size, const QColor &color = QColor());
