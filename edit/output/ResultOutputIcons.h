#pragma once
// Icons of the output panels' tool buttons: a shipped ":/res/output/<name>0.png" wins, else a
// glyph of the bundled icon font is drawn.
#include <QIcon>

namespace ResultOutputIcons {
// name: "clear", "copy", "export" or "custom".
QIcon icon(const QString &name);
}
