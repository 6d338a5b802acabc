// The listing hook a process starts with. Built a second time with RB_TEST_SEAMS for the
// DLL's test builds only: there a listing of a folder named "rb-throw" throws, so that
// tests can make threads throw inside the DLL as a failure deep in a walk would.
#include "columns/folder_walk.h"

#include <stdexcept>

namespace rb {

#ifdef RB_TEST_SEAMS
namespace {

void ThrowInFolderNamedRbThrow(const std::wstring& path) {
    const wchar_t name[] = L"\\rb-throw\\";
    const std::size_t length = sizeof name / sizeof name[0] - 1;
    if (path.size() >= length && path.compare(path.size() - length, length, name) == 0)
        throw std::runtime_error("listing failed");
}

} // namespace

ListingHook InitialListingHook() {
    return &ThrowInFolderNamedRbThrow;
}
#else
ListingHook InitialListingHook() {
    return nullptr;
}
#endif

} // namespace rb
