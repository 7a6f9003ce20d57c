#pragma once
// Which reader tools the quick settings page offers, in the order they are added, and the
// facts about a reader they depend on.
#include <QSet>
#include <QString>
#include <QStringList>

class KxDeviceConnector;

namespace QuickTools {
inline QString play() { return QStringLiteral("Id_Tool_Play"); }
inline QString monitor() { return QStringLiteral("Id_Tool_Monitor"); }
inline QString autoFocus() { return QStringLiteral("Id_Tool_AutoFocus"); }
inline QString selfLearning() { return QStringLiteral("Id_Tool_SelfLearning"); }
inline QString testEx() { return QStringLiteral("Id_Tool_TestEx"); }
inline QString test() { return QStringLiteral("Id_Tool_Test"); }
inline QString trigger() { return QStringLiteral("Id_Tool_Trigger"); }

struct Reader
{
    bool offline = false;
    QString comType;             // the information map's "COM Type"
    bool monitorValues = false;  // the reader describes "SCNMTR" values
    bool learningValues = false; // the reader describes "ATLSTP" values
    QSet<QString> codes;         // commands the reader has
};

Reader of(const KxDeviceConnector *connector);

// Every tool the reader qualifies for, in page order.
QStringList forReader(const Reader &reader);
// The tools this page runs (all of them today); any other is left out rather than shown
// without effect.
QStringList available(const Reader &reader);

// Start and stop texts of a tool (the same key when it has no stop text).
QString startText(const QString &id);
QString stopText(const QString &id);
}  // namespace QuickTools
