// Release of what the compiler's runtime keeps, at the end of each thread and when the
// DLL is unloaded; the DLL's entry point (RbDllEntry) does it.
#pragma once

namespace rb {

// At process exit the release is skipped.
void NoteProcessEnding();

} // namespace rb
