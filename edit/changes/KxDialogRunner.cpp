#include "KxDialogRunner.h"

#include <QDialog>

namespace {
KxDialogRunner::Runner &current()
{
    static KxDialogRunner::Runner runner;
    return runner;
}
}  // namespace

namespace KxDialogRunner {

Runner install(const Runner &runner)
{
    Runner previous = current();
    current() = runner;
    return previous;
}

int run(QDialog *dialog)
{
    if (!dialog)
        return 0;
    if (current())
        return current()(dialog);
    return dialog->exec();
}

}  // namespace KxDialogRunner
