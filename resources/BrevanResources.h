#pragma once
// Registers the resources compiled into the program (icons, style sheet, icon fonts).
// A static library's resources are not registered on their own: call this once, after the
// application object exists and before the first ":/" path is opened.
void brevanInitResources();
