#pragma once
// Small line icons of the device list, drawn with QPainter so they stay sharp at any scale and
// need no image files.
#include <QColor>
#include <QIcon>

enum class DeviceListIcon { ChevronDown, ChevronRight, Refresh, Add, Pencil, Blink, GroupAdd };

// An icon at 1x and 2x; disabled and hover states get their own colours.
QIcon deviceListIcon(DeviceListIcon shape, int size, const QColor &color,
                     const QColor &hoverColor = QColor());
