#pragma once
// Registers the special control types (data formats, scripts) with the control registry; the program
// calls it once at start-up after the standard ones (repeated calls change nothing).
class KxControlCreator;

namespace KxSpecialControls {
void registerAll(KxControlCreator *registry = nullptr);
}
