#pragma once
// One line of a reader's live log.
#include <QList>
#include <QMetaType>
#include <QString>

struct stLogData
{
    QString time;     // when it was received, "yyyy-MM-dd_hh:mm:ss"
    int level = -1;   // -1 when the line carries none
    QString data;
};
Q_DECLARE_METATYPE(stLogData)
Q_DECLARE_METATYPE(QList<stLogData>)

namespace DeviceLog {
// Registers the types above for queued signals (once per process; safe to call again).
void registerTypes();
// The translation key of a level's name ("#IDS_Log_Level_Error", ...); levels 1 to 5.
QString levelKey(int level);
}  // namespace DeviceLog
