// Rubrikator.dll loaded as a black box through its exports.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

namespace rbtest {

class ProductDll {
public:
    explicit ProductDll(const std::wstring& path);
    ~ProductDll();
    ProductDll(const ProductDll&) = delete;
    ProductDll& operator=(const ProductDll&) = delete;

    bool Loaded() const { return module_ != nullptr; }
    HMODULE Module() const { return module_; }

    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) const;
    HRESULT CanUnloadNow() const;
    HRESULT Register() const;
    HRESULT Unregister() const;
    // Creates an object of `clsid` through the DLL's own factory.
    HRESULT Create(REFCLSID clsid, REFIID iid, void** out, IUnknown* outer = nullptr) const;

private:
    template <typename Fn> Fn Export(const char* name) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module_, name)));
    }
    HMODULE module_ = nullptr;
};

// One request of every column, as Explorer makes them: the three folder columns of
// `folder`, the others of the file `image`.
void AskEveryColumn(IColumnProvider* provider, const std::wstring& folder,
                    const std::wstring& image);

} // namespace rbtest
