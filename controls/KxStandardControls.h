#pragma once
// Registers every standard control type with the control registry; the program calls it once
// at start-up (repeated calls change nothing).
class KxControlCreator;

namespace KxStandardControls {
void registerAll(KxControlCreator *registry = nullptr);
}
