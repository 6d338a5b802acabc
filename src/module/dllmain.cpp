// Entry point and exports of Rubrikator.dll. No exception leaves an export.
#include <windows.h>

#include "module/class_table.h"
#include "com/module.h"
#include "module/registration.h"
#include "shell/context_menu.h"
#include "shell/shell_selection.h"
#include "ui/main_dialog_entry.h"

// Thread notifications stay on: the entry around this one (runtime_handles.cpp) frees the
// runtime's blocks of each thread that ends.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        rb::SetModuleInstance(instance);
        // The shell layer's context-menu command opens the dialog of the layer above.
        rb::SetMainDialogOpener(&rb::RunMainDialog);
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        // At process exit (reserved set) other modules may be gone: leave things be.
        rb::ReleaseClassFactories();
        rb::ReleaseShellSelection();
        rb::RunModuleCleanups();
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DllCanUnloadNow() {
    return rb::CanUnloadNow();
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
    try {
        return rb::GetClassObject(clsid, iid, out);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

extern "C" HRESULT WINAPI DllRegisterServer() {
    try {
        return rb::RegisterServer(rb::IsWindows9x());
    } catch (...) {
        return E_UNEXPECTED;
    }
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
    try {
        return rb::UnregisterServer(rb::IsWindows9x());
    } catch (...) {
        return S_OK;
    }
}

extern "C" int WINAPI DoRubrikatorDlg(DWORD) {
    try {
        return rb::RunMainDialogStandalone();
    } catch (...) {
        return -1;
    }
}
