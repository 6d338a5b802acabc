// GDI+ bound at run time: "gdiplus.dll" is loaded by name and every function looked up
// by name when it is used. One image at a time, decoded from a file that the library
// opens itself and closes in Unload, whatever the decoder keeps.
#pragma once

#include <windows.h>

#include "common/win_handles.h"
#include "common/win_lock.h"

namespace rb {

class HandleStream;

class ImageLibrary {
public:
    ImageLibrary();
    ~ImageLibrary();
    ImageLibrary(const ImageLibrary&) = delete;
    ImageLibrary& operator=(const ImageLibrary&) = delete;

    // True when gdiplus.dll is loaded (GDI+ may still have failed to start).
    bool IsAvailable() const { return module_ != nullptr; }

    // Replaces the current image with the one in `path` (any full path).
    bool LoadFile(const wchar_t* path);
    // Disposes of the current image and closes its file.
    void Unload();

    // Queries on the current image; 0 when there is none or the function is missing.
    unsigned GetWidth();
    unsigned GetHeight();
    unsigned GetBitDepth();
    void GetResolution(int& horizontal, int& vertical);

    // Requests from several shell threads on one handler object take turns here.
    CriticalSection& Lock() { return lock_; }

private:
    FARPROC Function(const char* name) const;

    HMODULE module_ = nullptr;
    ULONG_PTR token_ = 0;
    void* image_ = nullptr;
    UniqueFile file_;
    HandleStream* stream_ = nullptr;
    CriticalSection lock_;
};

} // namespace rb
