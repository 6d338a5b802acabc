// DPI, bit depth and pixel size through GDI+.
#include <gtest/gtest.h>

#include "column_client.h"
#include "columns/image_library.h"
#include "images.h"
#include "support.h"
#include "thread.h"

#include <vector>

namespace {

using rbtest::Provider;
using rbtest::TempDir;
using rbtest::Text;

struct Expected {
    const wchar_t* name;
    std::string bytes;
    const wchar_t* dpi;
    const wchar_t* depth;
    const wchar_t* size;
};

TEST(ImageColumns, KnownImagesShowResolutionDepthAndSize) {
    TempDir dir;
    std::vector<Expected> images = {
        {L"rgb.bmp", rbtest::MakeBmp(40, 30, 24, 2835), L"72 x 72", L"24", L"40 x 30"},
        {L"grey8.bmp", rbtest::MakeBmp(17, 9, 8, 3780), L"96 x 96", L"8", L"17 x 9"},
        {L"mono.bmp", rbtest::MakeBmp(33, 5, 1, 11811), L"299 x 299", L"1", L"33 x 5"},
        {L"rgb.png", rbtest::MakePng(12, 7, 11811), L"299 x 299", L"24", L"12 x 7"},
        {L"odd.png", rbtest::MakePng(3, 2, 3776), L"95 x 95", L"24", L"3 x 2"},
        {L"photo.jpg", rbtest::ReadBytes(rbtest::FixtureDir() + L"\\photo-24x16-72dpi.jpg"),
         L"72 x 72", L"24", L"24 x 16"},
        {L"palette.gif", rbtest::ReadBytes(rbtest::FixtureDir() + L"\\palette-20x10.gif"),
         L"96 x 96", L"8", L"20 x 10"},
    };
    Provider provider;
    for (const Expected& e : images) {
        ASSERT_FALSE(e.bytes.empty()) << rbtest::Narrow(e.name);
        std::wstring path = dir.WriteFile(e.name, e.bytes);
        EXPECT_EQ(Text(provider.p, 3, path), e.dpi) << rbtest::Narrow(e.name);
        EXPECT_EQ(Text(provider.p, 4, path), e.depth) << rbtest::Narrow(e.name);
        EXPECT_EQ(Text(provider.p, 5, path), e.size) << rbtest::Narrow(e.name);
    }
}

TEST(ImageColumns, DifferentResolutionsAcrossAndDownShowInThatOrder) {
    TempDir dir;
    // 2835 pixels per metre across (72 dpi), 3780 down (96 dpi).
    std::wstring path = dir.WriteFile(L"wide.bmp", rbtest::MakeBmp(6, 4, 24, 2835, 3780));
    Provider provider;
    EXPECT_EQ(Text(provider.p, 3, path), L"72 x 96");
    EXPECT_EQ(Text(provider.p, 5, path), L"6 x 4");
}

TEST(ImageColumns, ExtensionDoesNotMatterOnlyTheContent) {
    TempDir dir;
    std::wstring disguised = dir.WriteFile(L"really-a-png.txt", rbtest::MakePng(5, 4, 3780));
    std::wstring text = dir.WriteFile(L"fake.png", "this is no image");
    Provider provider;
    EXPECT_EQ(Text(provider.p, 5, disguised), L"5 x 4");
    rbtest::Answer size = rbtest::Ask(provider.p, 5, rbtest::ItemOf(text));
    EXPECT_EQ(size.hr, S_FALSE);
    EXPECT_EQ(size.vt, VT_EMPTY);
    rbtest::Answer dpi = rbtest::Ask(provider.p, 3, rbtest::ItemOf(text));
    EXPECT_EQ(dpi.hr, S_OK);
    EXPECT_EQ(dpi.text, L"");
    EXPECT_EQ(Text(provider.p, 4, text), L"");
}

TEST(ImageColumns, FoldersAndMissingFilesDoNotLoad) {
    TempDir dir;
    Provider provider;
    EXPECT_EQ(Text(provider.p, 3, dir.Path()), L"");
    EXPECT_EQ(Text(provider.p, 4, dir.Path()), L"");
    EXPECT_EQ(Text(provider.p, 5, dir.Path()), L"<none>");
    EXPECT_EQ(rbtest::Ask(provider.p, 5, rbtest::Item(dir / L"gone.bmp", 0, L".bmp")).hr, S_FALSE);
}

TEST(ImageColumns, ImageFileIsFreeRightAfterTheRequest) {
    TempDir dir;
    Provider provider;
    for (DWORD pid : {3u, 4u, 5u}) {
        std::wstring path = dir.WriteFile(L"free.bmp", rbtest::MakeBmp(8, 8, 24, 2835));
        EXPECT_NE(Text(provider.p, pid, path), L"");
        EXPECT_TRUE(DeleteFileW(path.c_str())) << pid << " error " << GetLastError();
        // Overwriting without sharing works as well.
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE);
        CloseHandle(h);
        DeleteFileW(path.c_str());
    }
}

TEST(ImageColumns, ADamagedImageLeavesNoHandleOpen) {
    TempDir dir;
    // A BMP whose header promises 200 x 100 pixels that are not there.
    std::string damaged = rbtest::MakeBmp(200, 100, 24, 2835).substr(0, 70);
    std::wstring path = dir.WriteFile(L"damaged.bmp", damaged);
    Provider provider;
    Text(provider.p, 3, path); // the decoder's own first-use handles
    int before = rbtest::OpenHandleCount();
    for (int i = 0; i < 100; ++i) {
        DWORD column = 3 + static_cast<DWORD>(i % 3);
        EXPECT_EQ(Text(provider.p, column, path), column == 5 ? L"<none>" : L"") << i;
    }
    EXPECT_EQ(rbtest::OpenHandleCount(), before);
    HANDLE exclusive = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(exclusive, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    CloseHandle(exclusive);
}

TEST(ImageColumns, CloudPlaceholdersAreNotDecoded) {
    TempDir dir;
    std::wstring path = dir.WriteFile(L"cloud.bmp", rbtest::MakeBmp(8, 8, 24, 2835));
    Provider provider;
    for (DWORD attributes : {DWORD(FILE_ATTRIBUTE_OFFLINE), DWORD(0x400000)}) {
        SHCOLUMNDATA item = rbtest::Item(path, FILE_ATTRIBUTE_ARCHIVE | attributes, L".bmp");
        EXPECT_EQ(rbtest::Ask(provider.p, 3, item).text, L"");
        EXPECT_EQ(rbtest::Ask(provider.p, 4, item).text, L"");
        rbtest::Answer size = rbtest::Ask(provider.p, 5, item);
        EXPECT_EQ(size.hr, S_FALSE);
        EXPECT_EQ(size.vt, VT_EMPTY);
    }
    EXPECT_EQ(rbtest::Ask(provider.p, 5, rbtest::Item(path, FILE_ATTRIBUTE_ARCHIVE, L".bmp")).text,
              L"8 x 8");
}

TEST(ImageLibrary, QueriesWithoutAnImageGiveZero) {
    rb::ImageLibrary images;
    ASSERT_TRUE(images.IsAvailable());
    EXPECT_EQ(images.GetWidth(), 0u);
    EXPECT_EQ(images.GetHeight(), 0u);
    EXPECT_EQ(images.GetBitDepth(), 0u);
    int h = -1, v = -1;
    images.GetResolution(h, v);
    EXPECT_EQ(h, 0);
    EXPECT_EQ(v, 0);
    TempDir dir;
    std::wstring path = dir.WriteFile(L"a.png", rbtest::MakePng(6, 2, 3780));
    ASSERT_TRUE(images.LoadFile(path.c_str()));
    EXPECT_EQ(images.GetWidth(), 6u);
    EXPECT_FALSE(images.LoadFile((dir / L"none.png").c_str()));
    EXPECT_EQ(images.GetWidth(), 0u);
}

// Several shell threads on one handler object: each request decodes, reads and lets go
// under the object's lock, so no request sees an image another one disposed.
TEST(ImageColumns, ManyThreadsOnOneHandlerObject) {
    TempDir dir;
    std::wstring a = dir.WriteFile(L"a.bmp", rbtest::MakeBmp(31, 7, 24, 2835));
    std::wstring b = dir.WriteFile(L"b.png", rbtest::MakePng(9, 13, 3780));
    dir.MakeDir(L"sub");
    dir.WriteFile(L"sub\\x.bin", std::string(3000, 'x'));
    Provider provider;
    const int threads = 6, rounds = 40;
    std::vector<int> wrong(threads, 0);
    std::vector<rbtest::Thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            for (int r = 0; r < rounds; ++r) {
                bool odd = (r + t) % 2;
                if (Text(provider.p, 5, odd ? a : b) != (odd ? L"31 x 7" : L"9 x 13"))
                    ++wrong[t];
                if (Text(provider.p, 3, odd ? b : a) != (odd ? L"96 x 96" : L"72 x 72"))
                    ++wrong[t];
                if (Text(provider.p, 4, a) != L"24")
                    ++wrong[t];
                if (Text(provider.p, 2, dir.Path()) != L" 3")
                    ++wrong[t];
            }
            CoUninitialize();
        });
    for (auto& w : workers)
        w.Join();
    for (int t = 0; t < threads; ++t)
        EXPECT_EQ(wrong[t], 0) << "thread " << t;
}

} // namespace
