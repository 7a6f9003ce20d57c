#pragma once
// The rows of the configuration-set table and what a copy between sets takes. Pure rules on the
// page description and the records, so the page only lays them out.
#include "ConfigLibRecord.h"

#include <QMap>
#include <QStringList>
#include <QVariant>

#include <functional>

struct KxItemInfo;
struct KxPagesInfo;

struct ConfigLibRow
{
    enum Kind {
        Name,        // opens the rename dialog
        Enable,      // opens the enable dialog
        Codes1D,     // the set's 1D symbologies, in a popup
        Codes2D,     // the set's 2D symbologies, in a popup
        RetryCount,  // 1-255
        ImageGroup,  // none or a group number
        TaskNo,      // only with an image group
        Led,         // illumination: a popup with the set's items marked "LED"
        PreImage,    // image preprocessing: a popup with the items marked "PREIMAGE"
        Spin,        // a number in the item's range
        Combo,       // one of the item's options
    };
    Kind kind = Spin;
    QString key;         // field key or command code; first code for the popups
    QString title;       // text key or translated display name
    QStringList codes;   // the commands a popup row shows
    const KxItemInfo *item = nullptr;
};

namespace ConfigLibRows {
// The set fields, then the page items whose commands the reader has (readerHas), items marked
// Cell="LED" or Cell="PREIMAGE" gathered into one row each where the first of them stands.
QList<ConfigLibRow> build(const KxPagesInfo *pages, const std::function<bool(const QString &)> &readerHas);

// Image group numbers offered: -1 (none) and 1 to 8; task numbers 1 to 8.
QList<int> imageGroups();
QList<int> taskNumbers();

// What a copy writes into the target set: the retry count and every value of the source's body
// (its imaging values and symbology choices). Name, enable switch, image group and task number
// stay the target's own: they say which set it is and where it sits in the reader's cycle.
// From the current settings (source null): the reader's running values (running) of the codes
// the target's body holds.
QMap<QString, QVariant> copyValues(const ConfigLibRecord *source, const ConfigLibRecord &target,
                                   const std::function<QByteArray(const QString &)> &running);
}  // namespace ConfigLibRows
