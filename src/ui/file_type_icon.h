// The shell's small or large icon for files of an extension, loaded once per process and
// shared by every dialog of it.
#pragma once

#include <windows.h>

namespace rb {

// The icon for files with `extension` (".txt"), or null. Extensions are compared exactly,
// case included; the first request for an extension decides the size it is kept at.
// `large` picks the system's large icon list instead of the small one.
HICON FileTypeIcon(const char* extension, bool large);

} // namespace rb
