// Entry of every Wine test program: a single-threaded apartment, a clean options key and the
// pointer in the screen's far corner, so that a menu opened under it is never hovered while a
// test walks it with keys (the screen's middle lies inside menus at 144 dpi).
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include "browse/tree_shelf.h"
#include "support.h"

#include <string>

namespace rbtest {

const std::wstring& TestShelf() {
    static const std::wstring folder = [] {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        return std::wstring(temp) + L"rbtest-shelf-" + std::to_wstring(GetCurrentProcessId());
    }();
    return folder;
}

} // namespace rbtest

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    rbtest::ClearOptionsKey();
    // Trees saved by the pages a test opens stay with this program.
    CreateDirectoryW(rbtest::TestShelf().c_str(), nullptr);
    rb::SetShelfFolder(rbtest::TestShelf());
    rb::ClearShelf();
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    int result = RUN_ALL_TESTS();
    rbtest::ClearOptionsKey();
    rb::SetShelfFolder(rbtest::TestShelf());
    rbtest::DeleteTree(rbtest::TestShelf());
    CoUninitialize();
    return result;
}
