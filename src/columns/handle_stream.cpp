#include "columns/handle_stream.h"

#include "com/guids.h"

namespace rb {

namespace {

const IID kIidISequentialStream = {
    0x0c733a30, 0x2a1c, 0x11ce, {0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77, 0x3d}};
const IID kIidIStream = {0x0000000c, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

} // namespace

STDMETHODIMP HandleStream::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, kIidIUnknown) && !IsEqualIID(iid, kIidISequentialStream) &&
        !IsEqualIID(iid, kIidIStream))
        return E_NOINTERFACE;
    AddRef();
    *out = static_cast<IStream*>(this);
    return S_OK;
}

STDMETHODIMP_(ULONG) HandleStream::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&references_));
}

STDMETHODIMP_(ULONG) HandleStream::Release() {
    LONG left = InterlockedDecrement(&references_);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

STDMETHODIMP HandleStream::Read(void* data, ULONG size, ULONG* read) {
    if (read)
        *read = 0;
    if (!data)
        return STG_E_INVALIDPOINTER;
    if (!file_)
        return STG_E_REVERTED;
    DWORD got = 0;
    if (!ReadFile(file_, data, size, &got, nullptr))
        return STG_E_READFAULT;
    if (read)
        *read = got;
    return got < size ? S_FALSE : S_OK;
}

STDMETHODIMP HandleStream::Write(const void*, ULONG, ULONG* written) {
    if (written)
        *written = 0;
    return STG_E_ACCESSDENIED;
}

STDMETHODIMP HandleStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) {
    if (!file_)
        return STG_E_REVERTED;
    if (origin != STREAM_SEEK_SET && origin != STREAM_SEEK_CUR && origin != STREAM_SEEK_END)
        return STG_E_INVALIDFUNCTION;
    LARGE_INTEGER now;
    // The STREAM_SEEK_* values are those of FILE_BEGIN, FILE_CURRENT and FILE_END.
    if (!SetFilePointerEx(file_, move, &now, origin))
        return STG_E_SEEKERROR;
    if (position)
        position->QuadPart = static_cast<ULONGLONG>(now.QuadPart);
    return S_OK;
}

STDMETHODIMP HandleStream::SetSize(ULARGE_INTEGER) {
    return STG_E_ACCESSDENIED;
}

STDMETHODIMP HandleStream::CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) {
    return E_NOTIMPL;
}

STDMETHODIMP HandleStream::Commit(DWORD) {
    return S_OK;
}

STDMETHODIMP HandleStream::Revert() {
    return S_OK;
}

STDMETHODIMP HandleStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
    return STG_E_INVALIDFUNCTION;
}

STDMETHODIMP HandleStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
    return STG_E_INVALIDFUNCTION;
}

STDMETHODIMP HandleStream::Stat(STATSTG* stat, DWORD) {
    if (!stat)
        return STG_E_INVALIDPOINTER;
    ZeroMemory(stat, sizeof *stat); // no name: callers free a null one without harm
    if (!file_)
        return STG_E_REVERTED;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file_, &size))
        return STG_E_ACCESSDENIED;
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = static_cast<ULONGLONG>(size.QuadPart);
    stat->grfMode = STGM_READ | STGM_SHARE_DENY_NONE;
    FILETIME created, accessed, written;
    if (GetFileTime(file_, &created, &accessed, &written)) {
        stat->ctime = created;
        stat->atime = accessed;
        stat->mtime = written;
    }
    return S_OK;
}

STDMETHODIMP HandleStream::Clone(IStream** out) {
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}

} // namespace rb
