// Entry of every Wine test program: a single-threaded apartment, a clean options key and the
// pointer in the screen's far corner, so that a menu opened under it is never hovered while a
// test walks it with keys (the screen's middle lies inside menus at 144 dpi).
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include "support.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    rbtest::ClearOptionsKey();
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    int result = RUN_ALL_TESTS();
    rbtest::ClearOptionsKey();
    CoUninitialize();
    return result;
}
