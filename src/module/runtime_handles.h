// Release of what the compiler's runtime keeps when the DLL is unloaded.
#pragma once

namespace rb {

// DllMain at process exit: the release is skipped then.
void NoteProcessEnding();

} // namespace rb
