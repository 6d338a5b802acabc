#include "product_dll.h"

#include "com/guids.h"

namespace rbtest {

ProductDll::ProductDll(const std::wstring& path) : module_(LoadLibraryW(path.c_str())) {}

ProductDll::~ProductDll() {
    if (module_)
        FreeLibrary(module_);
}

HRESULT ProductDll::GetClassObject(REFCLSID clsid, REFIID iid, void** out) const {
    auto fn = Export<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>("DllGetClassObject");
    return fn ? fn(clsid, iid, out) : E_FAIL;
}

HRESULT ProductDll::CanUnloadNow() const {
    auto fn = Export<HRESULT(WINAPI*)()>("DllCanUnloadNow");
    return fn ? fn() : E_FAIL;
}

HRESULT ProductDll::Register() const {
    auto fn = Export<HRESULT(WINAPI*)()>("DllRegisterServer");
    return fn ? fn() : E_FAIL;
}

HRESULT ProductDll::Unregister() const {
    auto fn = Export<HRESULT(WINAPI*)()>("DllUnregisterServer");
    return fn ? fn() : E_FAIL;
}

HRESULT ProductDll::Create(REFCLSID clsid, REFIID iid, void** out, IUnknown* outer) const {
    IClassFactory* factory = nullptr;
    HRESULT hr = GetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr))
        return hr;
    hr = factory->CreateInstance(outer, iid, out);
    factory->Release();
    return hr;
}

void AskEveryColumn(IColumnProvider* provider, const std::wstring& folder,
                    const std::wstring& image) {
    for (DWORD pid = 0; pid < 12; ++pid) {
        SHCOLUMNID column = {rb::kClsidRubrikatorHandler, pid};
        SHCOLUMNDATA item = {};
        item.dwFileAttributes = pid < 3 ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
        item.pwszExt = const_cast<wchar_t*>(L".bmp");
        lstrcpynW(item.wszFile, (pid < 3 ? folder : image).c_str(), MAX_PATH);
        VARIANT result;
        VariantInit(&result);
        provider->GetItemData(&column, &item, &result);
        VariantClear(&result);
    }
}

} // namespace rbtest
