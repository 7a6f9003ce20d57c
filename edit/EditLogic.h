#pragma once
// Plain rules of the edit layer, kept free of widgets so tests can feed them plain data: which
// frame type a mode asks for, the device-log levels, the setting-code command list, when the
// configuration-set button shows, how an item's change is sent, navigation entries and the
// layout conditions file.
#include "KxDataStreamTypes.h"
#include "KxDeviceConfig.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

struct KxItemInfo;

namespace EditLogic {

// The QObject type name a kept frame must inherit for mode 1..5; empty for other modes.
QString frameTypeName(int mode);

// The levels of a "DBGLVL" range: "0-3,5" gives 0,1,2,3,5. Entries that do not parse are
// skipped, ranges are bounded (at most 256 levels in all), duplicates dropped, order kept.
QList<int> deviceLogLevels(const QByteArray &range);

// Command strings for the setting-code tool from the reader's current values: each tag is its
// code followed by its value; "LUAADD" and "LUAQRY" give one string per sub-tag value.
QStringList settingCodeCommands(const KxTagList &values);

// The configuration-set button shows when the reader holds at least two sets and does not run
// them in stream mode ("IPPOPM" answered "1").
bool configLibButtonVisible(int setCount, const QByteArray &ippopm);

// True when the change would wipe the reader's data formats: a "DFMADD" change with an empty
// value, or "DFMCAL", while the reader holds formats.
bool clearsDataFormats(const QString &code, const QByteArray &newValue,
                       const QByteArray &currentFormats);

// How an item's change travels ("SendFlag"): Normal takes the reply into the values, NoMerge
// sends without reading back, ResyncAll reads every value again afterwards (for settings that
// move others).
enum class SendMode { Normal, NoMerge, ResyncAll };
SendMode sendModeFor(const KxItemInfo *item);
// The item asks for a restart warning ("Reboot" of 1).
bool needsRebootWarning(const KxItemInfo *item);

// One navigation button of the advanced settings page.
struct NavEntry
{
    QString id;
    QString property; // page file name, e.g. "Communication.xml"
    QString text;
    QString icon;
};
// The entries of the "AdvancedSettings" tool (matched ignoring case) whose page is supported.
QList<NavEntry> navigationEntries(const QList<KxUiTool> &tools,
                                  const std::function<bool(const QString &property)> &supported);
// A page name ("Communication" or "Communication.xml") against a button's "propertyId".
bool pageMatches(const QString &pageName, const QString &propertyId);

// "LayoutCondition.xml": Events/Event elements, Id -> Extend. Empty for a missing or broken
// file.
QMap<QString, QString> readLayoutConditions(const QString &path);

// The text of the unsaved-changes indicator: count and whether anything runs unsaved.
QString unsavedChangesKey(int count);

}  // namespace EditLogic
