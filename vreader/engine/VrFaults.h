#pragma once
// Faults a virtual reader injects on request, so tests can check how clients survive them.
#include <QByteArray>
#include <QString>

struct VrFaults
{
    int delayMs = 0;        // every reply waits this long
    int dropAfter = 0;      // a link is dropped, unanswered, at its frame dropAfter + 1
    QString refuseCode;     // this command always answers 21
    int corruptEvery = 0;   // every n-th reply has one payload byte flipped
    bool emptyQueryAll = false;  // "@*" is answered with no items
    int noReadEvery = 0;    // every n-th simulated read finds no code
    int refuseFirmware = 0; // every firmware package is refused with this error code

    bool any() const
    {
        return delayMs || dropAfter || !refuseCode.isEmpty() || corruptEvery || emptyQueryAll
            || noReadEvery || refuseFirmware;
    }
};

// Flips one byte in the middle of a reply, so its checksum no longer matches.
QByteArray vrCorrupt(QByteArray reply);
