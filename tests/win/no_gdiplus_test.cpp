// Run with gdiplus.dll disabled: the image columns show the hint text for every item.
#include <gtest/gtest.h>

#include "column_client.h"
#include "columns/image_library.h"
#include "images.h"
#include "support.h"

namespace {

TEST(WithoutGdiplus, ImageColumnsShowTheHint) {
    rb::ImageLibrary images;
    ASSERT_FALSE(images.IsAvailable()) << "run with WINEDLLOVERRIDES=gdiplus=d";
    rbtest::TempDir dir;
    std::wstring bmp = dir.WriteFile(L"a.bmp", rbtest::MakeBmp(4, 4, 24, 2835));
    std::wstring txt = dir.WriteFile(L"a.txt", "text");
    rbtest::Provider provider;
    for (const std::wstring& path : {bmp, txt, dir.Path()}) {
        for (DWORD pid : {3u, 4u, 5u}) {
            rbtest::Answer a = rbtest::Ask(provider.p, pid, rbtest::ItemOf(path));
            EXPECT_EQ(a.hr, S_OK);
            EXPECT_EQ(a.text, L"gdiplus.dll ?") << pid;
        }
    }
    // The other columns do not depend on it.
    EXPECT_EQ(rbtest::Text(provider.p, 6, bmp), bmp);
}

} // namespace
