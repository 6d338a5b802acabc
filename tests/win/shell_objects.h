// Shell objects for tests: a data object with a "Shell IDList Array", the owner of its
// medium, and a spy on the task allocator.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include "com/guids.h"
#include "support.h"

#include <atomic>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace rbtest {

// Releases of a medium reach the object that owns its memory.
class MediumOwner : public IUnknown {
public:
    explicit MediumOwner(HGLOBAL memory) : memory_(memory) {}
    virtual ~MediumOwner() = default;
    static std::atomic<int> released;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!IsEqualIID(iid, rb::kIidIUnknown))
            return *out = nullptr, E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG left = --references_;
        if (left == 0) {
            GlobalFree(memory_);
            ++released;
            delete this;
        }
        return left;
    }

private:
    HGLOBAL memory_;
    std::atomic<ULONG> references_{1};
};
inline std::atomic<int> MediumOwner::released{0};

// A data object that offers a "Shell IDList Array" built from the given lists, or nothing.
class SelectionData : public IDataObject {
public:
    SelectionData(LPCITEMIDLIST parent, const std::vector<LPCITEMIDLIST>& items, bool offer)
        : offer_(offer) {
        std::vector<UINT> sizes;
        sizes.push_back(ILGetSize(parent));
        for (LPCITEMIDLIST item : items)
            sizes.push_back(ILGetSize(item));
        UINT header = static_cast<UINT>(sizeof(UINT) * (items.size() + 2));
        bytes_.resize(header);
        UINT count = static_cast<UINT>(items.size());
        std::memcpy(&bytes_[0], &count, sizeof count);
        UINT offset = header;
        for (size_t i = 0; i <= items.size(); ++i) {
            std::memcpy(&bytes_[sizeof(UINT) * (i + 1)], &offset, sizeof offset);
            LPCITEMIDLIST list = i == 0 ? parent : items[i - 1];
            const BYTE* data = reinterpret_cast<const BYTE*>(list);
            bytes_.insert(bytes_.end(), data, data + sizes[i]);
            offset += sizes[i];
        }
    }
    // A block given byte for byte, such as a malformed one.
    explicit SelectionData(std::vector<BYTE> bytes) : offer_(true), bytes_(std::move(bytes)) {}
    const std::vector<BYTE>& Bytes() const { return bytes_; }
    int getDataCalls = 0;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, rb::kIidIUnknown) || IsEqualIID(iid, IID_IDataObject)) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
        ++getDataCalls;
        if (QueryGetData(format) != S_OK)
            return DV_E_FORMATETC;
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes_.size());
        std::memcpy(GlobalLock(memory), bytes_.data(), bytes_.size());
        GlobalUnlock(memory);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = new MediumOwner(memory);
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override {
        if (!offer_ || format->cfFormat != RegisterClipboardFormatA("Shell IDList Array") ||
            !(format->tymed & TYMED_HGLOBAL) || format->dwAspect != DVASPECT_CONTENT ||
            format->lindex != -1 || format->ptd)
            return DV_E_FORMATETC;
        return S_OK;
    }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

private:
    bool offer_;
    std::vector<BYTE> bytes_;
};

inline LPITEMIDLIST Parse(const std::wstring& path) {
    LPITEMIDLIST list = nullptr;
    EXPECT_EQ(SHParseDisplayName(path.c_str(), nullptr, &list, 0, nullptr), S_OK)
        << rbtest::Narrow(path);
    return list;
}

// Counts the task-allocator blocks alive, to find clones that are never freed.
class AllocationCounter : public IMallocSpy {
public:
    virtual ~AllocationCounter() = default;
    std::atomic<long> alive{0};
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, rb::kIidIUnknown) || IsEqualIID(iid, IID_IMallocSpy)) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP_(SIZE_T) PreAlloc(SIZE_T size) override { return size; }
    STDMETHODIMP_(void*) PostAlloc(void* p) override {
        if (p)
            ++alive;
        return p;
    }
    STDMETHODIMP_(void*) PreFree(void* p, BOOL spied) override {
        if (p && spied)
            --alive;
        return p;
    }
    STDMETHODIMP_(void) PostFree(BOOL) override {}
    STDMETHODIMP_(SIZE_T) PreRealloc(void* p, SIZE_T size, void** out, BOOL) override {
        *out = p;
        return size;
    }
    STDMETHODIMP_(void*) PostRealloc(void* p, BOOL) override { return p; }
    STDMETHODIMP_(void*) PreGetSize(void* p, BOOL) override { return p; }
    STDMETHODIMP_(SIZE_T) PostGetSize(SIZE_T size, BOOL) override { return size; }
    STDMETHODIMP_(void*) PreDidAlloc(void* p, BOOL) override { return p; }
    STDMETHODIMP_(int) PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    STDMETHODIMP_(void) PreHeapMinimize() override {}
    STDMETHODIMP_(void) PostHeapMinimize() override {}
};

} // namespace rbtest
