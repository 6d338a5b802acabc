#include "module/class_table.h"

#include "common/win_lock.h"
#include "com/guids.h"
#include "module/handler.h"
#include "com/module.h"
#include "shell/desk_band.h"

#include <new>

namespace rb {

const ClassEntry kClassTable[] = {
    {&kClsidRubrikatorHandler, 102, nullptr, &RubrikatorHandler::Create},
    {&kClsidQuerbalkenBand, 108, &kCatidCommBand, &QuerbalkenBand::Create},
};
const int kClassCount = sizeof kClassTable / sizeof kClassTable[0];

namespace {

// Cached for the life of the process, so factories do not count as module locks.
class ClassFactory : public IClassFactory {
public:
    explicit ClassFactory(CreateFunction create) : create_(create) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, kIidIUnknown) && !IsEqualIID(iid, kIidIClassFactory))
            return E_NOINTERFACE;
        AddRef();
        *out = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&references_));
    }
    STDMETHODIMP_(ULONG) Release() override {
        LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer && !IsEqualIID(iid, kIidIUnknown))
            return CLASS_E_NOAGGREGATION;
        return create_(outer, iid, out);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock)
            ModuleLock();
        else
            ModuleUnlock();
        return S_OK;
    }

private:
    virtual ~ClassFactory() = default;
    CreateFunction create_;
    volatile LONG references_ = 1;
};

IClassFactory* factories[sizeof kClassTable / sizeof kClassTable[0]] = {};

} // namespace

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    for (int i = 0; i < kClassCount; ++i) {
        if (!IsEqualCLSID(clsid, *kClassTable[i].clsid))
            continue;
        IClassFactory* factory = static_cast<IClassFactory*>(InterlockedCompareExchangePointer(
            reinterpret_cast<void* volatile*>(&factories[i]), nullptr, nullptr));
        if (!factory) {
            ScopedLock lock(FactoryLock());
            if (!factories[i]) {
                IClassFactory* made = new (std::nothrow) ClassFactory(kClassTable[i].create);
                if (!made)
                    return E_OUTOFMEMORY;
                InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&factories[i]), made);
            }
            factory = factories[i];
        }
        return factory->QueryInterface(iid, out);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

void ReleaseClassFactories() {
    ScopedLock lock(FactoryLock());
    for (IClassFactory*& factory : factories) {
        if (factory)
            factory->Release();
        factory = nullptr;
    }
}

HRESULT CanUnloadNow() {
    return ModuleLockCount() == 0 ? S_OK : S_FALSE;
}

} // namespace rb
