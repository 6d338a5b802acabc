#include "browse/file_stats.h"
#include "fake_lister.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

namespace rb {
namespace {

struct Added {
    std::wstring folder, name;
    std::uint64_t size;
};

std::vector<std::wstring> Lines(const std::vector<LargeFile>& files) {
    std::vector<std::wstring> lines;
    for (const LargeFile& f : files)
        lines.push_back(f.folder + L"|" + f.name + L"|" + std::to_wstring(f.size));
    return lines;
}

std::vector<std::wstring> TypeLines(const FileStats& stats) {
    std::vector<std::wstring> lines;
    for (const FileType& t : stats.Types())
        lines.push_back(t.extension + L"|" + std::to_wstring(t.bytes) + L"|" +
                        std::to_wstring(t.files));
    return lines;
}

TEST(FileStats, KeepsTheLargestWhateverTheOrderAndMergesAsOne) {
    const struct {
        std::vector<Added> files;
        std::vector<std::wstring> largest; // of 3
    } cases[] = {
        {{{L"A", L"x", 10}, {L"A", L"y", 40}, {L"B", L"z", 30}}, {L"A|y|40", L"B|z|30", L"A|x|10"}},
        {{{L"A", L"x", 10}, {L"A", L"y", 40}, {L"B", L"z.c", 30}, {L"B", L"w.c", 11}},
         {L"A|y|40", L"B|z.c|30", L"B|w.c|11"}},
        // Equal sizes by folder, then by name.
        {{{L"B", L"a", 5}, {L"A", L"y", 5}, {L"C", L"a", 5}, {L"A", L"x", 5}, {L"A", L"z", 4}},
         {L"A|x|5", L"A|y|5", L"B|a|5"}},
    };
    for (const auto& c : cases) {
        FileStats forward(3), backward(3), first(3), second(3);
        for (std::size_t i = 0; i < c.files.size(); ++i) {
            const Added& a = c.files[i];
            const Added& b = c.files[c.files.size() - 1 - i];
            forward.Add(a.folder, a.name.c_str(), a.name.size(), a.size, 0);
            backward.Add(b.folder, b.name.c_str(), b.name.size(), b.size, 0);
            (i % 2 ? first : second).Add(a.folder, a.name.c_str(), a.name.size(), a.size, 0);
        }
        first.Merge(second);
        EXPECT_EQ(Lines(forward.Largest()), c.largest);
        EXPECT_EQ(Lines(backward.Largest()), c.largest);
        EXPECT_EQ(Lines(first.Largest()), c.largest);
        EXPECT_EQ(first.Files(), c.files.size());
        EXPECT_EQ(TypeLines(first), TypeLines(forward));
    }
    for (std::uint64_t count : {1000u, 1001u}) {
        FileStats stats;
        for (std::uint64_t size = 1; size <= count; ++size)
            stats.Add(L"F", L"f", 1, size, 0);
        const std::vector<LargeFile> largest = stats.Largest();
        ASSERT_EQ(largest.size(), 1000u);
        EXPECT_EQ(largest.front().size, count);
        EXPECT_EQ(largest.back().size, count - 999);
    }
}

TEST(FileStats, TypesByTheLastDotLowerCasedAndRemovedFilesLeaveThem) {
    const struct {
        const wchar_t* name;
        const wchar_t* extension;
    } names[] = {
        {L"a.BIN", L".bin"},   {L"noext", L""},
        {L"name.", L""},       {L".gitignore", L".gitignore"},
        {L"x.tar.gz", L".gz"}, {L"b.\u00C4\u00D7\u00DE\u00DF", L".\u00E4\u00D7\u00FE\u00DF"}};
    for (const auto& n : names)
        EXPECT_EQ(FileExtension(n.name, std::wcslen(n.name)), n.extension) << n.name;

    FileStats stats(3);
    const Added files[] = {{L"A", L"a.BIN", 100}, {L"A", L"b.bin", 50}, {L"B", L"c.txt", 150},
                           {L"B", L"d", 30},      {L"B", L"e.TXT", 0}};
    for (const Added& a : files)
        stats.Add(a.folder, a.name.c_str(), a.name.size(), a.size, 7);
    EXPECT_EQ(TypeLines(stats),
              (std::vector<std::wstring>{L".bin|150|2", L".txt|150|2", L"|30|1"}));
    FileStats bin(1); // a type's own largest, the other types still counted
    bin.KeepOnly(L".bin");
    for (const Added& a : files)
        bin.Add(a.folder, a.name.c_str(), a.name.size(), a.size, 7);
    EXPECT_EQ(Lines(bin.Largest()), (std::vector<std::wstring>{L"A|a.BIN|100"}));
    EXPECT_EQ(TypeLines(bin), TypeLines(stats));
    EXPECT_EQ(Lines(stats.LargestOfType(L".BIN")),
              (std::vector<std::wstring>{L"A|a.BIN|100", L"A|b.bin|50"}));
    EXPECT_TRUE(stats.Remove(L"a", L"A.bin"));
    EXPECT_FALSE(stats.Remove(L"A", L"a.BIN"));
    EXPECT_FALSE(stats.Remove(L"B", L"d")); // not among the largest
    EXPECT_EQ(TypeLines(stats), (std::vector<std::wstring>{L".txt|150|2", L".bin|50|1", L"|30|1"}));
    EXPECT_EQ(Lines(stats.Largest()), (std::vector<std::wstring>{L"B|c.txt|150", L"A|b.bin|50"}));
    EXPECT_EQ(stats.Files(), 4u);
    EXPECT_EQ(stats.Largest()[0].writeTime, 7u);
}

// Files as the walk tells them, and as the sink hands them on.
struct Told : FileSink {
    std::vector<std::wstring> files;
    void File(const std::wstring& folder, const DirectoryEntry& e) override {
        files.push_back(folder + std::wstring(e.name, e.nameLength) + L"|" +
                        std::to_wstring(e.size));
    }
};

TEST(WalkTree, TellsTheFilesOfTheFoldersWhoseEntriesCount) {
    // Without ids: "loop" lists what R lists and counts nowhere; "j" is a link, not entered.
    FakeLister fs;
    fs.Folder(L"R\\", 0,
              {{L"f", 0x20, 3, 0, 0},
               {L"a", kDir, 0, 0, 0},
               {L"loop", kDir, 0, 0, 0},
               {L"j", kLink, 0, 0, 0xA0000003},
               {L"locked", kDir, 0, 0, 0}});
    fs.Folder(L"R\\a\\", 0, {{L"g.x", 0x21, 4, 0, 0}});
    fs.Folder(L"R\\j\\", 0, {{L"never", 0x20, 5, 0, 0}});
    fs.folders[L"R\\loop\\"] = fs.folders[L"R\\"];
    Told told;
    EXPECT_EQ(WalkTree(L"R", fs, nullptr, nullptr, &told).files, 2);
    EXPECT_EQ(told.files, (std::vector<std::wstring>{L"R\\f|3", L"R\\a\\g.x|4"}));

    const struct {
        const wchar_t* listed;
        const wchar_t* folder;
    } forms[] = {{L"\\\\?\\C:\\x\\y\\", L"C:\\x\\y"},
                 {L"\\\\?\\C:\\", L"C:\\"},
                 {L"\\\\?\\UNC\\s\\t\\", L"\\\\s\\t"},
                 {L"\\\\?\\UNC\\s\\t\\u\\", L"\\\\s\\t\\u"}};
    for (const auto& form : forms) {
        FileStats stats(1);
        FileStatsSink sink(stats);
        sink.File(form.listed, {L"n", 1, 0x20, 0, 9, 0, 0});
        sink.File(L"\\\\?\\D:\\other\\", {L"m", 1, 0x20, 0, 8, 0, 0}); // smaller: left out
        EXPECT_EQ(Lines(stats.Largest()),
                  std::vector<std::wstring>{form.folder + std::wstring(L"|n|9")});
    }
}

} // namespace
} // namespace rb
