#pragma once
// The commands an RFID model brings besides its settings pages, and how the settings become
// an inventory's parameters.
#include "VfReader.h"
#include "VrCommandTable.h"

#include <QMap>
#include <functional>

namespace VrRfid {

// Inventory start/stop, counters, tag memory read and write.
QList<VrCommand> commands();
// True for a table whose pages describe an RFID reader.
bool isRfidTable(const VrCommandTable &table);
// The channel numbers (1-based) that "URFCHN" names ("1|3") within a region of count channels; an
// empty list for "0" or nothing (every channel). False for numbers outside 1..count.
bool parseChannels(const QByteArray &value, int count, QList<int> *channels);
// Inventory parameters from the running settings; false with a reason word when they name
// an unknown region or channel.
bool settings(const std::function<QByteArray(const QString &)> &value,
              const QMap<QString, QList<double>> &regions, VfSettings *out, QString *error);

}  // namespace VrRfid
