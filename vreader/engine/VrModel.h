#pragma once
// Finding a model's descriptions and building its reader engines.
#include "KxInProcessReader.h"
#include "VrReaderEngine.h"

#include <QSharedPointer>

namespace VrModel {

// The command table of a model ("KXS-FM800", "FM800") from the installation's models
// directory; null with a message when the model or its pages are unknown.
QSharedPointer<const VrCommandTable> loadTable(const QString &modelsDir, const QString &model,
                                               QString *canonicalModel, QString *error);

// A locally administered MAC address derived from the serial number.
QString macFor(const QString &serial);

// The factory the kit uses for connectToOffLineDevice(id, xml, cfgPath): the offline
// description names the model's folder beside cfgPath and may preset command values.
KxInProcessReaderPtr createOffLineReader(const QString &deviceId, const QString &xml,
                                         const QString &cfgPath, QString *error);

}  // namespace VrModel
