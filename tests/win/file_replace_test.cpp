// Replacing a file on a real disk: what the old file was stays, every name of it sees the
// new bytes, and a failure at any step leaves the old bytes (or a copy of them) behind.
// (Wine shows a file's creation time as its last write, and its links to files lead
// nowhere: neither can be seen here.)
#include "common/file_replace.h"
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using rb::ReplaceStep;

std::string steps; // M make the new file, R ReplaceFileW, V MoveFileExW, K keep the old
                   // bytes beside, W write in place, P put them back
std::vector<std::wstring> paths;
ReplaceStep failing;
DWORD failWith = 0;
int failTimes = 0; // -1: every time

bool takeTarget = false; // the failing step takes the target away first, as ReplaceFileW may

DWORD Record(ReplaceStep step, const std::wstring& path, DWORD flags) {
    const DWORD expected[] = {FILE_ATTRIBUTE_HIDDEN, REPLACEFILE_IGNORE_MERGE_ERRORS | 0x4 /* ACL */,
                              MOVEFILE_WRITE_THROUGH, 0, 0, 0};
    steps += "MRVKWP"[static_cast<int>(step)];
    steps += flags == expected[static_cast<int>(step)] ? "" : "?";
    paths.push_back(path);
    if (takeTarget && step == failing && failTimes != 0)
        DeleteFileW(path.c_str());
    return step == failing && failTimes != 0 ? (--failTimes, failWith) : 0;
}

bool WriteHalfAndFail(HANDLE file, const void* data, DWORD size) {
    DWORD written = 0;
    WriteFile(file, data, size / 2 + 1, &written, nullptr);
    SetLastError(ERROR_DISK_FULL);
    return false;
}

std::vector<std::wstring> Names(const std::wstring& folder) {
    std::vector<std::wstring> names;
    rbtest::ForEachBelow(folder, [&](const std::wstring& path, bool) { names.push_back(path.substr(folder.size() + 1)); });
    std::sort(names.begin(), names.end());
    return names;
}

struct FileReplace : testing::Test {
    void SetUp() override { previous = rb::SetReplaceStepHook(&Record); }
    void TearDown() override {
        rb::SetReplaceStepHook(previous);
        rb::SetFileWriteFunction(nullptr);
    }
    rb::ReplaceStepHook previous = nullptr;
};

TEST_F(FileReplace, TheOldFileKeepsWhatItWasAndEachWayEndsWithTheStepsItNames) {
    const struct {
        const char* what;
        bool exists;
        int links;
        ReplaceStep fails;
        DWORD error;
        int times;
        bool halfWritten; // the writer fails halfway through
        bool ok;
        const char* steps;
        const char* after;  // what every name of the file holds afterwards
        const char* beside; // what a copy of the old bytes beside holds ("" none)
    } cases[] = {
        {"replaced", true, 1, ReplaceStep::Move, 0, 0, false, true, "MR", "neu", ""},
        {"made", false, 1, ReplaceStep::Move, 0, 0, false, true, "MV", "neu", ""},
        {"held for a moment", true, 1, ReplaceStep::Replace, ERROR_SHARING_VIOLATION, 4, false, true, "MRRRRR", "neu", ""},
        {"held for good", true, 1, ReplaceStep::Replace, ERROR_SHARING_VIOLATION, -1, false, false, "MRRRRR", "alt!", ""},
        {"refused", true, 1, ReplaceStep::Replace, ERROR_INVALID_PARAMETER, -1, false, false, "MR", "alt!", ""},
        {"disk full", true, 1, ReplaceStep::Move, 0, 0, true, false, "M", "alt!", ""},
        {"nothing to be made", true, 1, ReplaceStep::MakeTemporary, ERROR_ACCESS_DENIED, -1, false, true, "MKMW", "neu", ""},
        {"two names", true, 2, ReplaceStep::Move, 0, 0, false, true, "KMW", "neu", ""},
        {"no copy beside", true, 2, ReplaceStep::KeepOld, ERROR_ACCESS_DENIED, -1, false, true, "KW", "neu", ""},
        {"in place refused", true, 2, ReplaceStep::WriteInPlace, ERROR_ACCESS_DENIED, -1, false, false, "KMWP", "alt!", ""},
        {"in place half", true, 2, ReplaceStep::Move, 0, 0, true, false, "KMWP", "alt!", ""},
        {"replaced half", true, 1, ReplaceStep::Replace, ERROR_UNABLE_TO_MOVE_REPLACEMENT, 1, false, true, "MRV", "neu", ""},
        {"put back fails", true, 2, ReplaceStep::PutBack, ERROR_DISK_FULL, -1, true, false, "KMWP", "net!", "alt!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        rbtest::TempDir folder;
        const std::wstring target = folder / L"Liste.csv", other = folder / L"Zweiter Name.csv";
        std::vector<std::wstring> names{L"Liste.csv"};
        if (c.exists) {
            rbtest::WriteBytes(target, "alt!");
            SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
        }
        if (c.links == 2 && CreateHardLinkW(other.c_str(), target.c_str(), nullptr))
            names.push_back(L"Zweiter Name.csv");
        if (*c.beside)
            names.push_back(L"~Liste.csv.rb-alt");
        steps.clear();
        paths.clear();
        failing = c.fails;
        failWith = c.error;
        failTimes = c.times;
        takeTarget = c.error == ERROR_UNABLE_TO_MOVE_REPLACEMENT;
        rb::SetFileWriteFunction(c.halfWritten ? &WriteHalfAndFail : nullptr);
        EXPECT_EQ(rb::ReplaceFileBytes(target, "neu"), c.ok);
        EXPECT_EQ(steps, c.steps);
        EXPECT_EQ(rbtest::ReadBytes(target) + (c.links == 2 ? rbtest::ReadBytes(other) : c.after), std::string(c.after) + c.after);
        // Nothing left beside it but the old bytes where they could not be put back; the new
        // file beside is named after the target; the file is what it was (hidden), or not
        // hidden as that new file was.
        EXPECT_EQ(Names(folder.Path()), names);
        EXPECT_EQ(*c.beside ? rbtest::ReadBytes(rb::BesideTarget(target, L".rb-alt")) : "", c.beside);
        EXPECT_EQ(paths.front(), rb::BesideTarget((c.exists ? L"\\\\?\\" : L"") + target, c.links == 2 ? L".rb-alt" : L".rb-neu"));
        EXPECT_EQ(GetFileAttributesW(target.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE),
                  c.exists ? FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE : FILE_ATTRIBUTE_ARCHIVE);
    }
}

TEST_F(FileReplace, APathPastMaxPathAndALeftoverOfABrokenSaveAreTakenWhole) {
    rbtest::TempDir dir;
    std::wstring deep = L"\\\\?\\" + dir.Path();
    while (deep.size() < MAX_PATH + 20)
        CreateDirectoryW((deep += L"\\ein-recht-langer-ordnername").c_str(), nullptr);
    const std::wstring target = deep.substr(4) + L"\\Notiz.txt";
    rbtest::WriteBytes(deep + L"\\~Notiz.txt.rb-neu", "Rest eines Absturzes");
    SetFileAttributesW((deep + L"\\~Notiz.txt.rb-neu").c_str(), FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(rb::ReplaceFileBytes(target, "eins") && rb::ReplaceFileBytes(target, "zwei"));
    EXPECT_EQ(rbtest::ReadBytes(deep + L"\\Notiz.txt"), "zwei");
    EXPECT_EQ(Names(deep), std::vector<std::wstring>{L"Notiz.txt"});
}

} // namespace
