#pragma once
// Icons of the image view's tool bar: an image ":/res/<base><1|0>.png" when shipped, else the
// base's glyph of the bundled icon font.
#include <QIcon>
#include <QString>

namespace BCodeImageIcons {
QIcon icon(const QString &base, int size = 18);
}
