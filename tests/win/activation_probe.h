// The activation context of the module and what shows that it was active: windows of the
// system's classes made inside it come from the manifest's version of the common
// controls, whose classes are registered apart from the plain ones.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace rbtest {

// The names of the assemblies of an activation context, in its order (the context's own
// first), each as "name,attribute=value,...".
std::vector<std::wstring> AssembliesOf(HANDLE context);

// The class atom of a window of `className` made outside any activation context.
ATOM PlainClassAtom(const char* className);

// Whether `window` was made from the versioned class that a manifest context provides.
bool MadeInAManifestContext(HWND window);

} // namespace rbtest
