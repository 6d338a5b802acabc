// Hand-written COM plumbing: interface tables, aggregation and IDispatch from a type library.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <cstddef>

namespace rb {

struct InterfaceEntry {
    const IID* iid;        // null ends the table
    std::ptrdiff_t offset; // from the object's ComObjectBase part
};

// Walks `table` in order; IUnknown answers with the first row.
HRESULT TableQueryInterface(void* object, const InterfaceEntry* table, REFIID iid, void** out);

// Base of both classes. Without an outer object the object is its own controlling
// unknown; with one, every interface delegates IUnknown to the outer object and only
// the inner unknown (handed to the outer object) counts references.
class ComObjectBase {
public:
    explicit ComObjectBase(IUnknown* outer);
    virtual ~ComObjectBase();
    ComObjectBase(const ComObjectBase&) = delete;
    ComObjectBase& operator=(const ComObjectBase&) = delete;

    // The non-delegating unknown.
    IUnknown* Inner() { return &inner_; }

    // Creation helper: queries the fresh object (count 0) and deletes it on failure.
    static HRESULT Hand(ComObjectBase* object, REFIID iid, void** out);

protected:
    virtual const InterfaceEntry* Interfaces() const = 0;

    HRESULT OuterQueryInterface(REFIID iid, void** out) {
        return controlling_->QueryInterface(iid, out);
    }
    ULONG OuterAddRef() { return controlling_->AddRef(); }
    ULONG OuterRelease() { return controlling_->Release(); }

private:
    struct InnerUnknown : public IUnknown {
        ComObjectBase* owner = nullptr;
        STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
        STDMETHODIMP_(ULONG) AddRef() override;
        STDMETHODIMP_(ULONG) Release() override;
    };

    InnerUnknown inner_;
    IUnknown* controlling_;
    bool aggregated_;
    volatile LONG references_ = 0;
};

// Offset of the `Interface` base of `Derived` from its ComObjectBase part, for the
// interface tables (which the base walks from its own address).
template <typename Derived, typename Interface> std::ptrdiff_t InterfaceOffset() {
    Derived* probe = reinterpret_cast<Derived*>(0x1000);
    return reinterpret_cast<char*>(static_cast<Interface*>(probe)) -
           reinterpret_cast<char*>(static_cast<ComObjectBase*>(probe));
}

#define RB_DELEGATE_IUNKNOWN                                                                       \
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {                                 \
        return OuterQueryInterface(iid, out);                                                      \
    }                                                                                              \
    STDMETHODIMP_(ULONG) AddRef() override {                                                       \
        return OuterAddRef();                                                                      \
    }                                                                                              \
    STDMETHODIMP_(ULONG) Release() override {                                                      \
        return OuterRelease();                                                                     \
    }

// Type information of one dual interface from the product's type library, loaded once
// under the module's type-information lock and kept until the module is unloaded.
HRESULT LoadInterfaceTypeInfo(REFIID iid, ITypeInfo** out);

// IDispatch on a dual interface with no methods of its own.
template <typename Dual, const IID* DualIid> class DispatchImpl : public Dual {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count)
            return E_POINTER;
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (index != 0)
            return DISP_E_BADINDEX;
        return LoadInterfaceTypeInfo(*DualIid, out);
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        ITypeInfo* info = nullptr;
        HRESULT hr = LoadInterfaceTypeInfo(*DualIid, &info);
        if (FAILED(hr))
            return hr;
        hr = info->GetIDsOfNames(names, count, ids);
        info->Release();
        return hr;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override {
        ITypeInfo* info = nullptr;
        HRESULT hr = LoadInterfaceTypeInfo(*DualIid, &info);
        if (FAILED(hr))
            return hr;
        hr = info->Invoke(static_cast<Dual*>(this), id, flags, params, result, exception, argError);
        info->Release();
        return hr;
    }
};

} // namespace rb
