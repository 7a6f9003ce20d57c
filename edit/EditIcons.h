#pragma once
// Icons of the edit frame's tool bar, the advanced page's navigation and its tool bar. An image
// shipped under ":/res/control/<name>.png" (with "_checked") wins; otherwise the name's glyph of
// the bundled FontAwesome font is drawn, so no button is left without its picture.
#include <QChar>
#include <QColor>
#include <QIcon>
#include <QString>

namespace EditIcons {

// The glyph drawn for an icon name or tool-button id; a null QChar when it has none.
QChar glyphFor(const QString &name);
// Off state in color, checked (On) and hovered (Active) state in checkedColor.
QIcon icon(const QString &name, int size, const QColor &color, const QColor &checkedColor);
// Whether the glyph font could be loaded (false: only shipped images are used).
bool fontAvailable();

}  // namespace EditIcons
