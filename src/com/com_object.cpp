#include "com/com_object.h"

#include "common/win_handles.h"
#include "com/guids.h"
#include "com/module.h"

#include <oleauto.h>
#include <new>
#include <vector>

namespace rb {

HRESULT TableQueryInterface(void* object, const InterfaceEntry* table, REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    const bool unknown = IsEqualIID(iid, kIidIUnknown);
    for (const InterfaceEntry* entry = table; entry->iid; ++entry) {
        if (unknown || IsEqualIID(iid, *entry->iid)) {
            auto* p = reinterpret_cast<IUnknown*>(static_cast<char*>(object) + entry->offset);
            p->AddRef();
            *out = p;
            return S_OK;
        }
    }
    return E_NOINTERFACE;
}

ComObjectBase::ComObjectBase(IUnknown* outer)
    : controlling_(outer ? outer : &inner_), aggregated_(outer != nullptr) {
    inner_.owner = this;
    ModuleLock();
}

ComObjectBase::~ComObjectBase() {
    ModuleUnlock();
}

HRESULT ComObjectBase::Hand(ComObjectBase* object, REFIID iid, void** out) {
    if (!object)
        return E_OUTOFMEMORY;
    object->inner_.AddRef();
    HRESULT hr = object->inner_.QueryInterface(iid, out);
    object->inner_.Release();
    return hr;
}

STDMETHODIMP ComObjectBase::InnerUnknown::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    // An outer object must get the non-delegating unknown.
    if (owner->aggregated_ && IsEqualIID(iid, kIidIUnknown)) {
        AddRef();
        *out = static_cast<IUnknown*>(this);
        return S_OK;
    }
    return TableQueryInterface(owner, owner->Interfaces(), iid, out);
}

STDMETHODIMP_(ULONG) ComObjectBase::InnerUnknown::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&owner->references_));
}

STDMETHODIMP_(ULONG) ComObjectBase::InnerUnknown::Release() {
    LONG left = InterlockedDecrement(&owner->references_);
    if (left == 0)
        delete owner;
    return static_cast<ULONG>(left);
}

namespace {

struct CachedTypeInfo {
    IID iid;
    ITypeInfo* info;
};

std::vector<CachedTypeInfo>* typeInfos = nullptr;

void ReleaseTypeInfos() {
    ScopedLock lock(TypeInfoLock());
    if (!typeInfos)
        return;
    for (CachedTypeInfo& cached : *typeInfos)
        cached.info->Release();
    delete typeInfos;
    typeInfos = nullptr;
}

// The registered library first; registration on NT writes none, so then the library
// embedded in the module itself.
HRESULT LoadProductTypeLib(ITypeLib** library) {
    HRESULT hr = LoadRegTypeLib(kLibidRubrikator, 1, 0, 0x0409, library);
    if (SUCCEEDED(hr))
        return hr;
    std::wstring path;
    {
        wchar_t buffer[MAX_PATH + 1] = {};
        GetModuleFileNameW(ModuleInstance(), buffer, MAX_PATH);
        path = buffer;
    }
    HRESULT embedded = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library);
    return SUCCEEDED(embedded) ? embedded : hr;
}

} // namespace

namespace {

HRESULT LoadInterfaceTypeInfoLocked(REFIID iid, ITypeInfo** out) {
    if (typeInfos) {
        for (CachedTypeInfo& cached : *typeInfos) {
            if (IsEqualIID(cached.iid, iid)) {
                cached.info->AddRef();
                *out = cached.info;
                return S_OK;
            }
        }
    }
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadProductTypeLib(library.put());
    if (FAILED(hr))
        return hr;
    ITypeInfo* info = nullptr;
    hr = library->GetTypeInfoOfGuid(iid, &info);
    if (FAILED(hr))
        return hr;
    if (!typeInfos) {
        typeInfos = new (std::nothrow) std::vector<CachedTypeInfo>();
        if (!typeInfos) {
            info->Release();
            return E_OUTOFMEMORY;
        }
        AddModuleCleanup(&ReleaseTypeInfos); // the lock is recursive
    }
    try {
        typeInfos->push_back({iid, info});
    } catch (...) {
        info->Release();
        return E_OUTOFMEMORY;
    }
    info->AddRef();
    *out = info;
    return S_OK;
}

} // namespace

// Called from IDispatch methods: nothing may be thrown past it.
HRESULT LoadInterfaceTypeInfo(REFIID iid, ITypeInfo** out) {
    *out = nullptr;
    ScopedLock lock(TypeInfoLock());
    try {
        return LoadInterfaceTypeInfoLocked(iid, out);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

} // namespace rb
