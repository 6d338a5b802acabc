// The module's two COM classes, their factories and the exported entry points' logic.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <comcat.h>

namespace rb {

using CreateFunction = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);

struct ClassEntry {
    const CLSID* clsid;
    UINT registryScript;   // "REGISTRY" resource
    const CATID* category; // implemented category, or null
    CreateFunction create;
};

// In this order: the handler, then the band. Registration walks it in the same order.
extern const ClassEntry kClassTable[];
extern const int kClassCount;

// DllGetClassObject: one factory per class, made on first request and kept until
// ReleaseClassFactories (process detach).
HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out);
void ReleaseClassFactories();

HRESULT CanUnloadNow();

} // namespace rb
