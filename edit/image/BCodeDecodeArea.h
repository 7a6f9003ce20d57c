#pragma once
// Between a reader's decode-area commands and rectangles in reader (sensor) pixels. Readers
// describe their area in one of three ways, chosen by the commands they know:
// - "CADMRI": the region string of every area;
// - "CADTOP", "CADBOT", "CADLEF", "CADRIG": the four edges;
// - "CADPOS"/"CADSIZ" (with "CADMOD" 1): top-left corner and size as "x,y" and "w,h".
// The first form the reader knows wins, in this order, as the reader itself reads them.
// "CADENA" switches the area on.
#include "BCodeRoiString.h"
#include "KxDeviceTypes.h"

#include <QSize>
#include <QVector>
#include <functional>

namespace BCodeDecodeArea {

using Lookup = std::function<QString(const QString &code)>;  // empty: the reader lacks it
using Has = std::function<bool(const QString &code)>;

// The areas in force (empty when "CADENA" is off or nothing describes them).
QList<BCodeRoi> read(const Has &has, const Lookup &value, const QSize &sensor);
// The changes that make rect (reader pixels) the reader's single decode area.
QVector<ChangedCmdInfo> changesFor(const Has &has, const QRect &rect, const QSize &sensor);

}  // namespace BCodeDecodeArea
