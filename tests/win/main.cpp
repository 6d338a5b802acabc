// Entry of every Wine test program: a single-threaded apartment and a clean options key.
#include <gtest/gtest.h>
#include <objbase.h>

#include "support.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    rbtest::ClearOptionsKey();
    int result = RUN_ALL_TESTS();
    rbtest::ClearOptionsKey();
    CoUninitialize();
    return result;
}
