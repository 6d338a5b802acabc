// Replacing a file on a real disk: what the old file was stays, every name of it sees the
// new bytes, and a failure at any step leaves the old bytes (or a copy of them) behind.
// (Wine shows a file's creation time as its last write, and its links to files lead
// nowhere: neither can be seen here.)
#include "common/file_replace.h"
#include "support.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using rb::ReplaceStep;

struct Taken {
    ReplaceStep step;
    std::wstring path;
    DWORD flags;
};
std::vector<Taken> taken;
ReplaceStep failing = ReplaceStep::MakeTemporary;
DWORD failWith = 0;
int failTimes = 0; // how often the failing step fails before it goes on

DWORD Record(ReplaceStep step, const std::wstring& path, DWORD flags) {
    taken.push_back({step, path, flags});
    if (failWith && step == failing && failTimes != 0) {
        --failTimes;
        return failWith;
    }
    return 0;
}

bool WriteHalfAndFail(HANDLE file, const void* data, DWORD size) {
    DWORD written = 0;
    WriteFile(file, data, size / 2 + 1, &written, nullptr);
    SetLastError(ERROR_DISK_FULL);
    return false;
}

std::string Steps() {
    std::string text;
    for (const Taken& t : taken)
        text += "MRVKWP"[static_cast<int>(t.step)];
    return text;
}

std::vector<std::wstring> Names(const std::wstring& folder) {
    std::vector<std::wstring> names;
    rbtest::ForEachBelow(folder, [&](const std::wstring& path, bool) {
        names.push_back(path.substr(folder.size() + 1));
    });
    return names;
}

class FileReplace : public testing::Test {
protected:
    void SetUp() override {
        taken.clear();
        failWith = 0;
        previous = rb::SetReplaceStepHook(&Record);
    }
    void TearDown() override {
        rb::SetReplaceStepHook(previous);
        rb::SetFileWriteFunction(nullptr);
    }
    rbtest::TempDir dir;
    rb::ReplaceStepHook previous = nullptr;
};

TEST_F(FileReplace, TheOldFileKeepsWhatItWasAndEachWayEndsWithTheStepsItNames) {
    // Steps: M make the new file, R ReplaceFileW, V MoveFileExW, K keep the old bytes beside,
    // W write in place, P put them back.
    const struct {
        const char* what;
        bool exists;
        int links;
        ReplaceStep fails;
        DWORD error;
        int times; // -1: every time
        bool halfWritten; // the writer fails halfway through
        bool ok;
        const char* steps;
        const char* after;  // what every name of the file holds afterwards
        const char* beside; // what a copy of the old bytes beside holds ("" none)
    } cases[] = {
        {"replaced", true, 1, ReplaceStep::Replace, 0, 0, false, true, "MR", "neu", ""},
        {"made", false, 1, ReplaceStep::Move, 0, 0, false, true, "MV", "neu", ""},
        {"held for a moment", true, 1, ReplaceStep::Replace, ERROR_SHARING_VIOLATION, 4, false, true, "MRRRRR", "neu", ""},
        {"held for good", true, 1, ReplaceStep::Replace, ERROR_SHARING_VIOLATION, -1, false, false, "MRRRRR", "alt!", ""},
        {"refused", true, 1, ReplaceStep::Replace, ERROR_INVALID_PARAMETER, -1, false, false, "MR", "alt!", ""},
        {"disk full", true, 1, ReplaceStep::Replace, 0, 0, true, false, "M", "alt!", ""},
        {"nothing to be made", true, 1, ReplaceStep::MakeTemporary, ERROR_ACCESS_DENIED, -1, false, true, "MKMW", "neu", ""},
        {"two names", true, 2, ReplaceStep::Replace, 0, 0, false, true, "KMW", "neu", ""},
        {"no copy beside", true, 2, ReplaceStep::KeepOld, ERROR_ACCESS_DENIED, -1, false, true, "KW", "neu", ""},
        {"in place refused", true, 2, ReplaceStep::WriteInPlace, ERROR_ACCESS_DENIED, -1, false, false, "KMWP", "alt!", ""},
        {"in place half", true, 2, ReplaceStep::Replace, 0, 0, true, false, "KMWP", "alt!", ""},
        {"put back fails", true, 2, ReplaceStep::PutBack, ERROR_DISK_FULL, -1, true, false, "KMWP", "net!", "alt!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        rbtest::TempDir folder;
        const std::wstring target = folder / L"Liste.csv", other = folder / L"Zweiter Name.csv";
        if (c.exists) {
            rbtest::WriteBytes(target, "alt!");
            SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
        }
        if (c.links == 2) {
            ASSERT_TRUE(CreateHardLinkW(other.c_str(), target.c_str(), nullptr));
        }
        taken.clear();
        failing = c.fails;
        failWith = c.error;
        failTimes = c.times;
        rb::SetFileWriteFunction(c.halfWritten ? &WriteHalfAndFail : nullptr);
        EXPECT_EQ(rb::ReplaceFileBytes(target, "neu"), c.ok);
        EXPECT_EQ(Steps(), c.steps);
        EXPECT_EQ(rbtest::ReadBytes(target), c.after);
        if (c.links == 2) {
            EXPECT_EQ(rbtest::ReadBytes(other), c.after);
        }
        // Nothing left beside it but a copy of the old bytes where they could not be put back.
        const std::wstring copy = rb::BesideTarget(target, L".rb-alt");
        std::vector<std::wstring> expected{L"Liste.csv"};
        if (c.links == 2)
            expected.push_back(L"Zweiter Name.csv");
        if (*c.beside)
            expected.push_back(L"~Liste.csv.rb-alt");
        auto names = Names(folder.Path());
        std::sort(names.begin(), names.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(names, expected);
        if (*c.beside) {
            EXPECT_EQ(rbtest::ReadBytes(copy), c.beside);
        }
        // The new file beside is hidden and named after the target; the flags as given.
        const DWORD flags[] = {FILE_ATTRIBUTE_HIDDEN, REPLACEFILE_IGNORE_MERGE_ERRORS | 0x4 /* ACL */,
                               MOVEFILE_WRITE_THROUGH, 0, 0, 0};
        for (const Taken& t : taken)
            EXPECT_EQ(t.flags, flags[static_cast<int>(t.step)]) << Steps();
        EXPECT_EQ(taken.front().path, rb::BesideTarget((c.exists ? L"\\\\?\\" : L"") + target,
                                                       c.links == 2 ? L".rb-alt" : L".rb-neu"));
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        ASSERT_TRUE(GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data));
        EXPECT_EQ(data.dwFileAttributes, c.exists ? static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE)
                                                  : data.dwFileAttributes & ~FILE_ATTRIBUTE_HIDDEN);
    }
}

TEST_F(FileReplace, APathPastMaxPathAndALeftoverOfABrokenSaveAreTakenWhole) {
    std::wstring deep = dir.Path();
    while (deep.size() < MAX_PATH + 20)
        CreateDirectoryW((L"\\\\?\\" + (deep += L"\\ein-recht-langer-ordnername")).c_str(), nullptr);
    const std::wstring target = deep + L"\\Notiz.txt";
    ASSERT_TRUE(rb::ReplaceFileBytes(target, "eins"));
    rbtest::WriteBytes(L"\\\\?\\" + rb::BesideTarget(target, L".rb-neu"), "rest eines Absturzes");
    SetFileAttributesW((L"\\\\?\\" + rb::BesideTarget(target, L".rb-neu")).c_str(), FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(rb::ReplaceFileBytes(target, "zwei"));
    EXPECT_EQ(rbtest::ReadBytes(L"\\\\?\\" + target), "zwei");
    EXPECT_EQ(Names(deep), std::vector<std::wstring>{L"Notiz.txt"});
    ASSERT_FALSE(taken.empty());
    EXPECT_EQ(taken.back().path.compare(0, 4, L"\\\\?\\"), 0);
}

} // namespace
