#pragma once
// Self-learning of a virtual reader: the commands that start it, report on it and give its
// outcome, and the settings it tries.
#include "VrCommandTable.h"

#include <QList>

namespace VrSelfLearning {
// States of "ATLQLS".
enum State { Idle = 0, Running = 1, Succeeded = 2, Failed = 3, RefusedBurst = 4, RefusedAreas = 5, Stopped = 6 };

// The commands besides "ATLSTP" (which the pages describe): "ATLSOP" (codes wanted, 1..64),
// and the read-only "ATLQPR", "ATLQLS", "ATLQLP", "ATLPAS".
QList<VrCommand> commands();

struct Candidate
{
    int exposureUs;
    int gainDb;
};
// Tried in this order, one read each; the tries that read the most codes (at least the wanted
// number) win, and the middle one of them is taken.
QList<Candidate> candidates();
}  // namespace VrSelfLearning
