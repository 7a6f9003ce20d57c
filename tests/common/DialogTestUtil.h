#pragma once
// Small helpers for tests that drive dialogs and wait on the event loop.
#include "KxDialogRunner.h"

#include <QElapsedTimer>
#include <QtTest>

// Installs a dialog runner for one test and puts the old one back.
struct RunnerScope
{
    explicit RunnerScope(const KxDialogRunner::Runner &r) : previous(KxDialogRunner::install(r)) {}
    ~RunnerScope() { KxDialogRunner::install(previous); }
    KxDialogRunner::Runner previous;
};

// Runs the event loop until pred holds or ms have passed; pred's last answer.
template <typename F>
bool waitFor(F pred, int ms = 30000)
{
    QElapsedTimer t;
    t.start();
    while (!pred() && t.elapsed() < ms)
        QTest::qWait(10);
    return pred();
}
