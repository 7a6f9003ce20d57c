#pragma once
// Parsers of the reader model description files. Each returns false when the file cannot be
// opened or parsed or has the wrong root element; data problems inside a readable file are
// reported as warnings and the offending element is skipped.
#include "KxDescriptionIssue.h"
#include "KxDeviceConfig.h"

#include <QHash>

namespace KxModelFiles {

// "lang" filtering compares with `language` ignoring case.
bool readDevices(const QString &path, const QString &offlineDir, const QString &language,
                 KxDevicesData &out, KxDescriptionIssues *issues = nullptr);
bool readSymbologies(const QString &path, QList<KxSymbology> &out,
                     KxDescriptionIssues *issues = nullptr);
bool readEvents(const QString &path, QHash<QString, KxEventTriggers> &out,
                KxDescriptionIssues *issues = nullptr);
bool readRefs(const QString &path, KxRefsData &out, KxDescriptionIssues *issues = nullptr);
bool readUiLayout(const QString &path, QList<KxUiTool> &out,
                  KxDescriptionIssues *issues = nullptr);
bool readUrfhp(const QString &path, QMap<QString, QList<double>> &out,
               KxDescriptionIssues *issues = nullptr);

// The page file's "Exportable" attribute (on its root element): false only for "0" or
// "false"; a file without it, or one that cannot be read, takes part in export.
bool readExportable(const QString &pagePath, KxDescriptionIssues *issues = nullptr);

} // namespace KxModelFiles
