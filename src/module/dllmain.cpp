// Entry point and exports of Rubrikator.dll.
#include <windows.h>

#include "module/module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        rb::SetModuleInstance(instance);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        rb::RunModuleCleanups();
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DllCanUnloadNow() {
    return rb::ModuleLockCount() == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID, REFIID, LPVOID* out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    return E_NOTIMPL;
}

extern "C" HRESULT WINAPI DllRegisterServer() {
    return E_NOTIMPL;
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
    return E_NOTIMPL;
}

extern "C" int WINAPI DoRubrikatorDlg(DWORD) {
    return -1;
}
