// A read-only stream over a file handle that its caller owns, for decoders that keep
// what they are given: the caller closes the file when it is done, whatever the decoder
// still holds.
#pragma once

#include <windows.h>
#include <objidl.h>

namespace rb {

class HandleStream : public IStream {
public:
    // Starts with one reference, the caller's.
    explicit HandleStream(HANDLE file) : file_(file) {}

    // Lets go of the handle: every later read fails.
    void Detach() { file_ = nullptr; }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP Read(void* data, ULONG size, ULONG* read) override;
    STDMETHODIMP Write(const void* data, ULONG size, ULONG* written) override;
    STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override;
    STDMETHODIMP SetSize(ULARGE_INTEGER size) override;
    STDMETHODIMP CopyTo(IStream* target, ULARGE_INTEGER size, ULARGE_INTEGER* read,
                        ULARGE_INTEGER* written) override;
    STDMETHODIMP Commit(DWORD flags) override;
    STDMETHODIMP Revert() override;
    STDMETHODIMP LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size, DWORD type) override;
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size, DWORD type) override;
    STDMETHODIMP Stat(STATSTG* stat, DWORD flags) override;
    STDMETHODIMP Clone(IStream** out) override;

private:
    virtual ~HandleStream() = default;

    HANDLE file_;
    volatile LONG references_ = 1;
};

} // namespace rb
