#pragma once
// Runs the change-tracking dialogs. By default a dialog runs modally; tests install a runner
// that answers it (presses its buttons or returns a result) so nothing waits for a user.
#include <functional>

class QDialog;

namespace KxDialogRunner {

using Runner = std::function<int(QDialog *dialog)>;

// Installs a runner and returns the one it replaces; an empty runner restores exec().
Runner install(const Runner &runner);
// Shows the dialog and answers its result.
int run(QDialog *dialog);

}  // namespace KxDialogRunner
