#pragma once
// The question asked before a reader with unsaved changes is left or saved: list the changes
// (or a short tip), then save them to the reader, discard them, or stay. A failed save or
// discard may be retried; going back leaves the changes as they are.
class KxDeviceConnector;
class QWidget;

class KxDeviceCommand;

// Dialog results of the change dialogs.
enum KxSaveChoice { SaveChoice_Cancel = 0, SaveChoice_Save = 1, SaveChoice_NotSave = 2 };

// False: the user cancelled and the caller must stay. True: the caller may go on (nothing to
// save, saved, discarded, or given up after a failure). leaving is passed to the save and
// restore operations.
bool DoSaveChangedCmds(KxDeviceConnector *connector, bool listMode, bool leaving,
                       QWidget *parent = nullptr);

// Waits, under the waiting dialog with a cancel button, until every change already on its way
// to the reader has been answered (each send ends within its time-out). False when the user
// cancelled; true when nothing is on its way any more (or the reader went away).
bool WaitForPendingChanges(KxDeviceCommand *cmd, QWidget *parent = nullptr);
