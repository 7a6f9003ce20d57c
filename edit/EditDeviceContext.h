#pragma once
// What the edit pages need to know about the reader being edited: its model's folder, its
// page files and which of them the reader supports, its layout conditions.
#include "KxPageInfo.h"

#include <QMap>
#include <QPointer>
#include <QString>

#include <memory>

class KxDeviceCommand;
class KxDeviceConnector;

namespace EditDeviceContext {

// The model folder of the reader (from its product name, then its "DEVNAM" value); empty when
// the model is unknown.
QString modelDir(const KxDeviceConnector *connector);

// Loads "<modelDir>/pages/<page>" (with or without ".xml"); null when unreadable.
std::unique_ptr<KxPagesInfo> loadPage(const QString &modelDir, const QString &page);

// A page is supported when it holds at least one stored item whose command the reader knows.
bool pageSupported(const KxDeviceCommand *command, const KxPagesInfo *pages);
bool pageFileSupported(const KxDeviceCommand *command, const QString &modelDir,
                       const QString &page);

// The model's layout conditions, loaded for the command object; Id -> Extend.
void loadLayoutConditions(const KxDeviceCommand *command, const QString &modelDir);
QMap<QString, QString> layoutConditions(const KxDeviceCommand *command);

// Prepares the model's translations and images for its pages.
void prepareModel(const QString &modelDir);

}  // namespace EditDeviceContext
