#include "module/registration.h"

#include "common/win_handles.h"
#include "common/win_text.h"
#include "module/class_table.h"
#include "com/guids.h"
#include "com/module.h"

#include <comcat.h>
#include <oleauto.h>

namespace rb {

// The system's ATL Registrar; declared here since MinGW has no header for it. It must
// not sit in an anonymous namespace: with no implementation in sight, the compiler would
// take every call for one to a pure virtual function.
struct IRegistrar : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AddReplacement(LPCOLESTR key, LPCOLESTR item) = 0;
    virtual HRESULT STDMETHODCALLTYPE ClearReplacements() = 0;
    virtual HRESULT STDMETHODCALLTYPE ResourceRegisterSz(LPCOLESTR file, LPCOLESTR id,
                                                         LPCOLESTR type) = 0;
    virtual HRESULT STDMETHODCALLTYPE ResourceUnregisterSz(LPCOLESTR file, LPCOLESTR id,
                                                           LPCOLESTR type) = 0;
    virtual HRESULT STDMETHODCALLTYPE FileRegister(LPCOLESTR file) = 0;
    virtual HRESULT STDMETHODCALLTYPE FileUnregister(LPCOLESTR file) = 0;
    virtual HRESULT STDMETHODCALLTYPE StringRegister(LPCOLESTR data) = 0;
    virtual HRESULT STDMETHODCALLTYPE StringUnregister(LPCOLESTR data) = 0;
    virtual HRESULT STDMETHODCALLTYPE ResourceRegister(LPCOLESTR file, UINT id, LPCOLESTR type) = 0;
    virtual HRESULT STDMETHODCALLTYPE ResourceUnregister(LPCOLESTR file, UINT id,
                                                         LPCOLESTR type) = 0;
};

namespace {

std::string ShortModulePath() {
    std::string longPath = ModuleFileNameA();
    char shortPath[MAX_PATH + 1] = {};
    DWORD length = GetShortPathNameA(longPath.c_str(), shortPath, MAX_PATH);
    if (length == 0 || length > MAX_PATH)
        return longPath;
    return std::string(shortPath, length);
}

HRESULT RunScript(UINT script, bool registering) {
    ComPtr<IRegistrar> registrar;
    HRESULT hr = CoCreateInstance(kClsidRegistrar, nullptr, CLSCTX_INPROC_SERVER, kIidIRegistrar,
                                  registrar.put_void());
    if (FAILED(hr))
        return hr;
    std::string shortPath = ShortModulePath();
    registrar->AddReplacement(L"Module", ModuleReplacement(shortPath).c_str());
    std::wstring file = AnsiToWide(shortPath);
    return registering ? registrar->ResourceRegister(file.c_str(), script, L"REGISTRY")
                       : registrar->ResourceUnregister(file.c_str(), script, L"REGISTRY");
}

// The manager missing counts as done; a failing registration is returned.
HRESULT RegisterCategory(const ClassEntry& entry, bool registering) {
    if (!entry.category)
        return S_OK;
    ComPtr<ICatRegister> categories;
    if (FAILED(CoCreateInstance(kClsidStdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                                kIidICatRegister, categories.put_void())))
        return S_OK;
    CATID category = *entry.category;
    if (registering)
        return categories->RegisterClassImplCategories(*entry.clsid, 1, &category);
    categories->UnRegisterClassImplCategories(*entry.clsid, 1, &category);
    return S_OK;
}

HRESULT RegisterClasses() {
    for (int i = 0; i < kClassCount; ++i) {
        HRESULT hr = RunScript(kClassTable[i].registryScript, true);
        if (FAILED(hr))
            return hr;
        hr = RegisterCategory(kClassTable[i], true);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

// The categories go first: the registrar keeps a key that still holds subkeys its script
// does not list, so "Implemented Categories" would keep the band's CLSID key alive.
void UnregisterClasses() {
    for (int i = 0; i < kClassCount; ++i) {
        const ClassEntry& entry = kClassTable[i];
        if (entry.category) {
            RegisterCategory(entry, false);
            wchar_t clsid[40] = {};
            StringFromGUID2(*entry.clsid, clsid, 40);
            std::wstring categories =
                L"CLSID\\" + std::wstring(clsid) + L"\\Implemented Categories";
            RegDeleteKeyW(HKEY_CLASSES_ROOT, categories.c_str()); // only when empty
        }
        RunScript(entry.registryScript, false);
    }
}

// The module's own library (embedded resource 1), else a .tlb beside it.
HRESULT LoadModuleTypeLib(ITypeLib** library, std::wstring& loadedPath) {
    std::string path = ModuleFileNameA();
    loadedPath = AnsiToWide(path);
    HRESULT hr = LoadTypeLib(loadedPath.c_str(), library);
    if (SUCCEEDED(hr))
        return hr;
    size_t dot = path.find_last_of('.');
    path = (dot == std::string::npos ? path : path.substr(0, dot)) + ".tlb";
    loadedPath = AnsiToWide(path);
    return LoadTypeLib(loadedPath.c_str(), library);
}

HRESULT RegisterTypeLibrary() {
    ComPtr<ITypeLib> library;
    std::wstring path;
    HRESULT hr = LoadModuleTypeLib(library.put(), path);
    if (FAILED(hr))
        return hr;
    std::wstring helpDir = path.substr(0, path.find_last_of(L"\\/:") + 1);
    return RegisterTypeLib(library.get(), const_cast<OLECHAR*>(path.c_str()),
                           const_cast<OLECHAR*>(helpDir.c_str()));
}

void UnregisterTypeLibrary() {
    ComPtr<ITypeLib> library;
    std::wstring path;
    if (FAILED(LoadModuleTypeLib(library.put(), path)))
        return;
    TLIBATTR* attributes = nullptr;
    if (FAILED(library->GetLibAttr(&attributes)) || !attributes)
        return;
    // Looked up at run time: the oldest oleaut32 releases lack it.
    HMODULE oleaut = LoadLibraryA("oleaut32.dll");
    if (oleaut) {
        using UnRegisterFn = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
        auto unregister = reinterpret_cast<UnRegisterFn>(
            reinterpret_cast<void (*)()>(GetProcAddress(oleaut, "UnRegisterTypeLib")));
        if (unregister)
            unregister(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                       attributes->lcid, attributes->syskind);
        FreeLibrary(oleaut);
    }
    library->ReleaseTLibAttr(attributes);
}

} // namespace

bool IsWindows9x() {
    return (GetVersion() & 0x80000000u) != 0;
}

std::wstring ModuleReplacement(const std::string& shortPath) {
    std::wstring wide = AnsiToWide(shortPath);
    std::wstring doubled;
    for (wchar_t c : wide) {
        doubled += c;
        if (c == L'\'')
            doubled += L'\'';
    }
    return doubled;
}

namespace {

// Registration tools normally start COM; one that did not still gets it here.
class ComForRegistration {
public:
    ComForRegistration() : started_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComForRegistration() {
        if (started_)
            CoUninitialize();
    }
    ComForRegistration(const ComForRegistration&) = delete;
    ComForRegistration& operator=(const ComForRegistration&) = delete;

private:
    bool started_;
};

} // namespace

HRESULT RegisterServer(bool windows9x) {
    ComForRegistration com;
    if (windows9x) {
        HRESULT hr = RegisterClasses();
        return FAILED(hr) ? hr : RegisterTypeLibrary();
    }
    // The handler is approved first; without that nothing is registered.
    UniqueKey approved;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kApprovedKey, 0, KEY_SET_VALUE, approved.put()) !=
        ERROR_SUCCESS) {
        approved.release();
        return E_ACCESSDENIED;
    }
    if (RegSetValueExA(approved.get(), kApprovedName, 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(kApprovedText),
                       static_cast<DWORD>(strlen(kApprovedText) + 1)) != ERROR_SUCCESS)
        return E_ACCESSDENIED;
    return RegisterClasses();
}

HRESULT UnregisterServer(bool windows9x) {
    ComForRegistration com;
    if (windows9x) {
        UnregisterClasses();
        UnregisterTypeLibrary();
        return S_OK;
    }
    UniqueKey approved;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kApprovedKey, 0, KEY_SET_VALUE, approved.put()) ==
        ERROR_SUCCESS)
        RegDeleteValueA(approved.get(), kApprovedName);
    else
        approved.release();
    UnregisterClasses();
    return S_OK;
}

} // namespace rb
