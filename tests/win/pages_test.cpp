// The columns settings page and the notes page inside the real main dialog.
#include <gtest/gtest.h>

#include "browse/tree_shelf.h"
#include "column_client.h"
#include "columns/option_store.h"
#include "columns/options.h"
#include "common/file_replace.h"
#include "common/shell_open.h"
#include "dialog_driver.h"
#include "resource_ids.h"
#include "support.h"
#include "ui/columns_page.h"
#include "ui/notes_page.h"
#include "windows_found.h"

#include <commctrl.h>

#include <atomic>
#include <vector>

namespace {

using rbtest::OpenStandalone;
using rbtest::PageWithItem;

// ---------------------------------------------------------------- columns page

struct ColumnsView {
    bool enabled[4]; // unit, thousands, decimals, file sizes
    bool checked[3]; // thousands, decimals, file sizes
    int unit;
    std::string description;
};

const int kControls[] = {IDC_UNIT, IDC_THOUSANDS, IDC_DECIMALS, IDC_FILE_SIZES};

ColumnsView Read(HWND page) {
    ColumnsView view = {};
    for (int i = 0; i < 4; ++i)
        view.enabled[i] = IsWindowEnabled(GetDlgItem(page, kControls[i])) != 0;
    for (int i = 0; i < 3; ++i)
        view.checked[i] =
            SendMessageA(GetDlgItem(page, kControls[i + 1]), BM_GETCHECK, 0, 0) == BST_CHECKED;
    view.unit = static_cast<int>(SendMessageA(GetDlgItem(page, IDC_UNIT), CB_GETCURSEL, 0, 0));
    view.description = rbtest::ItemText(page, IDC_TEXT);
    return view;
}

// Selects row `index` as a click would, and lets the page's poll see it at once.
void Select(HWND page, int index) {
    HWND list = GetDlgItem(page, IDC_LIST);
    LVITEMA state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&state));
    SendMessageA(list, LVM_SETSELECTIONMARK, 0, index);
    SendMessageA(page, WM_TIMER, rb::ColumnsPage::kSelectionPollTimer, 0);
}

std::string Stored(const char* name) {
    return std::to_string(rb::ReadIntOption(name, -1));
}

using ColumnsPageTest = rbtest::CleanOptions;

TEST_F(ColumnsPageTest, ListsTheColumnsAndShowsWhatAppliesToTheSelectedOne) {
    // Stored values that differ from the defaults, so that shown marks come from them.
    rb::WriteIntOption("tausender_groesse", 0);
    rb::WriteIntOption("nachkommanteil", 1);
    rb::WriteIntOption("datei_groesse", 1);
    rb::WriteIntOption("tausender_ordner", 0);
    rb::WriteIntOption("groesse_typ", 2);
    std::vector<std::string> rows;
    ColumnsView atStart, size, folders, dpi, times[3];
    OpenStandalone([&](HWND dialog) {
        HWND page = PageWithItem(dialog, IDC_UNIT);
        HWND list = GetDlgItem(page, IDC_LIST);
        for (int i = 0; i < SendMessageA(list, LVM_GETITEMCOUNT, 0, 0); ++i) {
            char text[80] = {};
            LVITEMA item = {};
            item.pszText = text;
            item.cchTextMax = sizeof text;
            SendMessageA(list, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(&item));
            rows.push_back(text);
        }
        SendMessageA(page, WM_TIMER, rb::ColumnsPage::kSelectionPollTimer, 0);
        atStart = Read(page);
        Select(page, 0);
        size = Read(page);
        Select(page, 1);
        folders = Read(page);
        Select(page, 3);
        dpi = Read(page);
        for (int i = 0; i < 3; ++i) {
            Select(page, 9 + i);
            times[i] = Read(page);
        }
    });
    ASSERT_EQ(rows.size(), 12u);
    EXPECT_EQ(rows[0], "Ordnergr\xF6\xDF"
                       "e (RB)");
    EXPECT_EQ(rows[11], "Zugriffssek. (RB)");

    EXPECT_EQ(atStart.description, "");
    EXPECT_FALSE(atStart.enabled[0] || atStart.enabled[1] || atStart.enabled[2] ||
                 atStart.enabled[3]);

    EXPECT_TRUE(size.enabled[0] && size.enabled[1] && size.enabled[2] && size.enabled[3]);
    EXPECT_FALSE(size.checked[0]); // tausender_groesse 0
    EXPECT_TRUE(size.checked[1]);  // nachkommanteil 1
    EXPECT_TRUE(size.checked[2]);  // datei_groesse 1
    EXPECT_EQ(size.unit, 2);       // "Byte"
    EXPECT_EQ(size.description, "Zeigt die Gesamtgr\xF6sse des jeweiligen Verzeichnisses an, "
                                "inklusive aller Unterverzeichnisse.");

    EXPECT_FALSE(folders.enabled[0]);
    EXPECT_TRUE(folders.enabled[1]);
    EXPECT_FALSE(folders.enabled[2] || folders.enabled[3]);
    EXPECT_FALSE(folders.checked[0]);                      // tausender_ordner 0
    EXPECT_TRUE(folders.checked[1] && folders.checked[2]); // kept from the size column
    EXPECT_EQ(folders.description,
              "Zeigt die Anzahl der Ordner, an inklusive aller Unterverzeichnisse.");

    EXPECT_FALSE(dpi.enabled[0] || dpi.enabled[1] || dpi.enabled[2] || dpi.enabled[3]);
    EXPECT_EQ(dpi.description,
              "Zeigt die DPI (Dots per Inch = Punkte pro Zoll) der jeweiligen Bilddatei an. "
              "Wichtig z.B.: f\xFCr Leute, die viel Faxen !\r\n( gdiplus.dll erforderlich )");
    for (const ColumnsView& time : times)
        EXPECT_EQ(time.description, "Manchmal mu\xDF es ganz genau sein:Anzeige Sekunden und "
                                    "Millisekunden !");
}

TEST_F(ColumnsPageTest, CheckBoxesToggleTheirOptionAndWriteItAtOnce) {
    rb::WriteIntOption("tausender_ordner", 5); // not 0: one click makes it 0
    std::string filesAfterClick, foldersAfterClick, folders5AfterClick;
    int filesInMemory = -1, foldersInMemory = -1;
    OpenStandalone([&](HWND dialog) {
        HWND page = PageWithItem(dialog, IDC_UNIT);
        Select(page, 2); // "Dateienanzahl (RB)"
        SendMessageA(GetDlgItem(page, IDC_THOUSANDS), BM_CLICK, 0, 0);
        filesAfterClick = Stored("tausender_dateien");
        foldersAfterClick = Stored("tausender_ordner");
        filesInMemory = rb::Options().tausenderDateien;
        Select(page, 1); // "Ordneranzahl (RB)", stored as 5
        SendMessageA(GetDlgItem(page, IDC_THOUSANDS), BM_CLICK, 0, 0);
        folders5AfterClick = Stored("tausender_ordner");
        foldersInMemory = rb::Options().tausenderOrdner;
    });
    EXPECT_EQ(filesAfterClick, "0");
    EXPECT_EQ(filesInMemory, 0);
    EXPECT_EQ(foldersAfterClick, "5"); // untouched by the click on the file count
    EXPECT_EQ(folders5AfterClick, "0");
    EXPECT_EQ(foldersInMemory, 0);
}

TEST_F(ColumnsPageTest, RememberingSizesIsShownAndWrittenAtOnceAndTheButtonEmptiesTheShelf) {
    rbtest::TempDir dir;
    rb::SetShelfFolder(dir.Path());
    const std::wstring saved = dir.WriteFile(L"0123456789abcdef.rbtree", "saved");
    ASSERT_EQ(rbtest::ReadBytes(saved), "saved");
    std::vector<std::string> seen; // the box, then the stored value
    for (const char* stored : {"", "0"}) {
        if (*stored)
            rb::WriteIntOption(rb::kRememberSizesOption, 0);
        OpenStandalone([&](HWND dialog) {
            HWND page = PageWithItem(dialog, IDC_REMEMBER_SIZES);
            HWND box = GetDlgItem(page, IDC_REMEMBER_SIZES);
            for (int click = 0; click < 3; ++click) {
                seen.push_back(std::to_string(SendMessageA(box, BM_GETCHECK, 0, 0)) + "/" +
                               Stored(rb::kRememberSizesOption));
                SendMessageA(box, BM_CLICK, 0, 0);
            }
            SendMessageA(GetDlgItem(page, IDC_FORGET_SIZES), BM_CLICK, 0, 0);
        });
    }
    rb::SetShelfFolder(rbtest::TestShelf());
    EXPECT_EQ(seen, (std::vector<std::string>{"1/-1", "0/0", "1/1", "0/0", "1/1", "0/0"}));
    EXPECT_EQ(GetFileAttributesW(saved.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ColumnsPageTest, TheUnitIsWrittenByChoiceNotByTypingAndColumnsFollowAtOnce) {
    rbtest::TempDir dir;
    dir.WriteFile(L"a.bin", std::string(1536, 'x'));
    rbtest::Provider provider; // made before the change: no reload of the options
    std::string afterByte, afterKb, afterTyping;
    std::wstring textAfterByte, textAfterKb;
    OpenStandalone([&](HWND dialog) {
        HWND page = PageWithItem(dialog, IDC_UNIT);
        HWND combo = GetDlgItem(page, IDC_UNIT);
        Select(page, 0);
        auto choose = [&](int position) {
            SendMessageA(combo, CB_SETCURSEL, position, 0);
            SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_UNIT, CBN_SELENDOK),
                         reinterpret_cast<LPARAM>(combo));
        };
        choose(2);
        afterByte = Stored("groesse_typ");
        textAfterByte = rbtest::Text(provider.p, 0, dir.Path());
        choose(0);
        afterKb = Stored("groesse_typ");
        textAfterKb = rbtest::Text(provider.p, 0, dir.Path());
        SetWindowTextA(combo, "Byte");
        SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_UNIT, CBN_EDITCHANGE),
                     reinterpret_cast<LPARAM>(combo));
        SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_UNIT, CBN_EDITUPDATE),
                     reinterpret_cast<LPARAM>(combo));
        afterTyping = Stored("groesse_typ");
    });
    EXPECT_EQ(afterByte, "2");
    EXPECT_EQ(textAfterByte, L"  1.536");
    EXPECT_EQ(afterKb, "0");
    EXPECT_EQ(textAfterKb, L" 1,50 KB");
    EXPECT_EQ(afterTyping, "0");
}

// ---------------------------------------------------------------- notes page

std::vector<std::string> writes;
bool WriteAndCount(HANDLE file, const void* data, DWORD size) {
    writes.emplace_back(static_cast<const char*>(data), size);
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

// Writes half and then fails, as a full disk would.
bool WriteHalfAndFail(HANDLE file, const void* data, DWORD size) {
    DWORD written = 0;
    WriteFile(file, data, size / 2, &written, nullptr);
    return false;
}

class NotesPageTest : public rbtest::CleanOptions {
protected:
    void SetUp() override {
        CleanOptions::SetUp();
        writes.clear();
        previous = rb::SetFileWriteFunction(&WriteAndCount);
    }
    void TearDown() override {
        rb::SetFileWriteFunction(previous);
        CleanOptions::TearDown();
    }
    std::wstring Notes() const { return dir / L"Rubrikator_Notiz.txt"; }
    // What the folder holds besides the note: a leftover of a save would show here.
    std::vector<std::wstring> Others() const {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((dir.Path() + L"\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = data.cFileName;
                if (name != L"." && name != L".." && name != L"Rubrikator_Notiz.txt")
                    names.push_back(name);
            } while (FindNextFileW(find, &data));
            FindClose(find);
        }
        return names;
    }

    std::vector<std::wstring> NoteBesideNames() const {
        std::vector<std::wstring> names;
        for (const std::wstring& name : Others())
            if (name.find(L"Rubrikator_Notiz") == 0)
                names.push_back(name);
        return names;
    }

    rbtest::TempDir dir;
    rbtest::DocumentsFolder documents{dir.Path()};
    rb::FileWriteFunction previous = nullptr;
};

HWND NotesEdit(HWND dialog) {
    HWND page = PageWithItem(dialog, IDC_TEXT);
    // The columns page has an edit 208 as well; the notes page is the one without a list.
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (GetDlgItem(child, IDC_TEXT) && !GetDlgItem(child, IDC_LIST))
            page = child;
    return GetDlgItem(page, IDC_TEXT);
}

using rbtest::WaitUntil;

// Waits until the note file holds `bytes` (the page saves after its delay).
bool NoteHolds(const std::wstring& path, const std::string& bytes) {
    return WaitUntil([&] { return rbtest::ReadBytes(path) == bytes; });
}
bool EditShows(HWND edit, const std::string& text) {
    return WaitUntil([&] { return rbtest::WindowText(edit) == text; });
}

TEST_F(NotesPageTest, TypingIsSavedAfterTheLastKeyAsTheExactBytesOnceABurst) {
    EXPECT_EQ(rb::NotesFilePath(), Notes());
    std::string empty = "?";
    rb::WriteIntOption("tab_id", 1);
    OpenStandalone([&](HWND dialog) {
        HWND edit = NotesEdit(dialog);
        empty = rbtest::WindowText(edit);
        // Posted at once, as fast typing comes: one save for the burst.
        rbtest::Type(edit, std::string(12, 'x'));
        EXPECT_TRUE(NoteHolds(Notes(), std::string(12, 'x')));
        rbtest::Type(edit, "\rde\xE4");
        EXPECT_TRUE(NoteHolds(Notes(), std::string(12, 'x') + "\r\nde\xE4"));
    });
    EXPECT_EQ(empty, "");
    // One save a burst; a stall of the posting thread on a busy machine may split a burst,
    // never into a save per key.
    EXPECT_GE(writes.size(), 2u);
    EXPECT_LT(writes.size(), 12u);
    EXPECT_TRUE(Others().empty());
}

TEST_F(NotesPageTest, OpenedOnAnyPageTheNoteTakesTheFirstKeyAtItsEnd) {
    // Remembered page, then the way to the notes (none when the dialog opens on them).
    const struct {
        int tab;
        UINT command;
    } rows[] = {{0, ID_SHOW_NOTES}, {1, 0}, {2, ID_SHOW_NOTES}, {3, ID_SHOW_NOTES}};
    for (const auto& row : rows) {
        rbtest::WriteBytes(Notes(), "Anfang");
        rb::WriteIntOption("tab_id", row.tab);
        bool focused = false;
        OpenStandalone([&](HWND dialog) {
            if (row.command)
                SendMessageA(dialog, WM_COMMAND, row.command, 0);
            HWND edit = NotesEdit(dialog);
            focused = rbtest::FocusOf(dialog) == edit;
            rbtest::Type(edit, "X");
            WaitUntil([&] { return rbtest::ReadBytes(Notes()) != "Anfang"; });
        });
        EXPECT_TRUE(focused) << row.tab;
        EXPECT_EQ(rbtest::ReadBytes(Notes()), "AnfangX") << row.tab;
    }
}

TEST_F(NotesPageTest, TheFileIsReadUpToAZeroByteAndOpeningOnAnotherPageWritesNothing) {
    rbtest::WriteBytes(Notes(), std::string("vorher\r\nzwei\0danach", 19));
    std::string shown;
    rb::WriteIntOption("tab_id", 2);
    OpenStandalone([&](HWND dialog) { shown = rbtest::WindowText(NotesEdit(dialog)); });
    EXPECT_EQ(shown, "vorher\r\nzwei");
    EXPECT_TRUE(writes.empty());
    EXPECT_EQ(rbtest::ReadBytes(Notes()), std::string("vorher\r\nzwei\0danach", 19));
}

TEST_F(NotesPageTest, ClosingRightAfterTypingKeepsTheLastWords) {
    rbtest::WriteBytes(Notes(), "Anfang");
    rb::WriteIntOption("tab_id", 1);
    OpenStandalone([&](HWND dialog) {
        HWND edit = NotesEdit(dialog);
        rbtest::Type(edit, " Ende");
        EditShows(edit, "Anfang Ende");
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(rbtest::ReadBytes(Notes()), "Anfang Ende");
}

TEST_F(NotesPageTest, ALongNoteIsKeptWholeAndCanStillBeTypedInto) {
    std::string note;
    for (int i = 0; note.size() < 70000; ++i)
        note += "Zeile " + std::to_string(i) + "\r\n";
    note.resize(70000);
    rbtest::WriteBytes(Notes(), note);
    rb::WriteIntOption("tab_id", 1);
    OpenStandalone([&](HWND dialog) {
        rbtest::Type(NotesEdit(dialog), "!");
        EXPECT_TRUE(NoteHolds(Notes(), note + "!"));
    });
}

std::atomic<int> failedWrites{0};
bool CountedHalfAndFail(HANDLE file, const void* data, DWORD size) {
    ++failedWrites;
    return WriteHalfAndFail(file, data, size);
}

TEST_F(NotesPageTest, ASaveThatFailsLeavesTheOldFileAndIsTriedAgain) {
    rbtest::WriteBytes(Notes(), "alt und wichtig");
    std::string afterFailure, shownAfterFailure;
    std::vector<std::wstring> othersAfterFailure;
    failedWrites = 0;
    rb::WriteIntOption("tab_id", 1);
    OpenStandalone([&](HWND dialog) {
        HWND edit = NotesEdit(dialog);
        rb::SetFileWriteFunction(&CountedHalfAndFail);
        SetWindowTextA(edit, "");
        rbtest::Type(edit, "neu");
        WaitUntil([] { return failedWrites > 0; });
        // Looked at between the dialog's messages: the failed save has cleaned up, and its
        // retry a second later has not begun, however slow the machine.
        rbtest::RunInThreadOf(dialog, [&] {
            afterFailure = rbtest::ReadBytes(Notes());
            othersAfterFailure = Others();
            shownAfterFailure = rbtest::WindowText(edit);
            rb::SetFileWriteFunction(&WriteAndCount);
        });
        EXPECT_TRUE(NoteHolds(Notes(), "neu")); // tried again without another key
        rbtest::Type(edit, "er");
        EXPECT_TRUE(NoteHolds(Notes(), "neuer"));
    });
    EXPECT_EQ(afterFailure, "alt und wichtig");
    EXPECT_TRUE(othersAfterFailure.empty());
    EXPECT_EQ(shownAfterFailure, "neu");
    EXPECT_TRUE(Others().empty());
}

std::atomic<bool> diskFull{false};
bool FullUntilFreed(HANDLE file, const void* data, DWORD size) {
    if (!diskFull)
        return WriteAndCount(file, data, size);
    ++failedWrites;
    SetLastError(ERROR_DISK_FULL);
    return false;
}

TEST_F(NotesPageTest, ASaveThatFailsAtClosingIsTriedAgainAndThenTheUserRetriesOrClosesWithoutIt) {
    const struct {
        std::vector<int> answers; // to each message in turn
        bool freedAtFirst;        // the disk has room again when the first message shows
        int failed;               // writes that failed in all
        const char* after;
    } cases[] = {{{IDRETRY}, true, 2, "alt neu"}, {{IDRETRY, IDCANCEL}, false, 3, "alt"}};
    for (const auto& c : cases) {
        rbtest::WriteBytes(Notes(), "alt");
        rb::WriteIntOption("tab_id", 1);
        failedWrites = 0;
        std::vector<std::string> messages;
        const std::string named = "Die Notiz konnte nicht gespeichert werden:\n" + rbtest::Narrow(Notes()) + "\n";
        OpenStandalone([&](HWND dialog) {
            rb::SetFileWriteFunction(&FullUntilFreed);
            diskFull = true;
            rbtest::Type(NotesEdit(dialog), " neu"); // and closed right after: no save between
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            for (int answer : c.answers) {
                HWND box = rbtest::WaitForWindow("#32770", "Notiz", dialog);
                // The file named, and the two ways offered.
                messages.push_back(rbtest::ItemText(box, 0xFFFF).substr(0, named.size()) +
                                   (GetDlgItem(box, IDRETRY) && GetDlgItem(box, IDCANCEL) ? "" : "?"));
                diskFull = diskFull && !c.freedAtFirst;
                PostMessageA(box, WM_COMMAND, answer, 0);
                rbtest::WaitUntil([&] { return !IsWindow(box); });
            }
        });
        rb::SetFileWriteFunction(&WriteAndCount);
        diskFull = false;
        EXPECT_EQ(rbtest::ReadBytes(Notes()), c.after);
        EXPECT_EQ(failedWrites, c.failed);
        EXPECT_EQ(messages, std::vector<std::string>(c.answers.size(), named));
        EXPECT_TRUE(Others().empty());
    }
}

std::vector<std::wstring> shellOpened;
bool RecordShellOpen(HWND, const std::wstring& target, int) {
    shellOpened.push_back(target);
    return true;
}

TEST_F(NotesPageTest, TheNewestNoteBesideIsNamedAboveTheNoteAndOpensLeftAsItIs) {
    rbtest::WriteBytes(Notes(), "Notiz");
    rb::WriteIntOption("tab_id", 1);
    const FILETIME newer = rbtest::TimeAt(2, 0, 11), older = rbtest::TimeAt(1, 0, 10);
    const std::wstring two = dir / L"Rubrikator_Notiz (2).txt", three = dir / L"Rubrikator_Notiz (3).txt";
    rb::ShellOpenFunction previous = rb::SetShellOpenFunction(&RecordShellOpen);
    std::vector<std::wstring> lines; // none beside, then two
    for (int besides : {0, 2}) {
        if (besides) {
            rbtest::WriteBytes(two, "zwei");
            rbtest::WriteBytes(three, "drei");
            rbtest::SetTimes(two, newer, newer);
            rbtest::SetTimes(three, older, older);
        }
        OpenStandalone([&](HWND dialog) {
            HWND page = GetParent(NotesEdit(dialog)), text = GetDlgItem(page, IDC_NOTES_BESIDE);
            RECT note, line;
            GetWindowRect(NotesEdit(dialog), &note);
            GetWindowRect(text, &line);
            wchar_t shown[200] = {};
            if (IsWindowVisible(text) && IsWindowVisible(GetDlgItem(page, IDC_NOTES_BESIDE_OPEN)) && note.top >= line.bottom)
                GetWindowTextW(text, shown, 200);
            lines.push_back(shown);
            SendMessageW(GetDlgItem(page, IDC_NOTES_BESIDE_OPEN), BM_CLICK, 0, 0);
        });
    }
    rb::SetShellOpenFunction(previous);
    SYSTEMTIME at;
    FILETIME local;
    FileTimeToLocalFileTime(&newer, &local);
    FileTimeToSystemTime(&local, &at);
    wchar_t when[40];
    wsprintfW(when, L"%02u.%02u.%04u %02u:%02u", at.wDay, at.wMonth, at.wYear, at.wHour, at.wMinute);
    EXPECT_EQ(lines, (std::vector<std::wstring>{L"", std::wstring(L"Daneben liegt \u201ERubrikator_Notiz (2).txt\u201C vom ") + when}));
    EXPECT_EQ(shellOpened, std::vector<std::wstring>{two});
    EXPECT_EQ(rbtest::ReadBytes(two) + rbtest::ReadBytes(three) + rbtest::ReadBytes(Notes()), "zweidreiNotiz");
}

// A notes page of its own, as a second dialog in another Explorer window has one; saved
// at once instead of after the delay.
struct StandaloneNotes {
    HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
    rb::NotesPage page;
    StandaloneNotes() { page.Create(owner); }
    ~StandaloneNotes() { DestroyWindow(owner); }
    HWND Edit() const { return GetDlgItem(page.Window(), IDC_TEXT); }
    void TypeAtTheEndAndSave(const std::string& text) {
        int end = GetWindowTextLengthA(Edit());
        SendMessageA(Edit(), EM_SETSEL, end, end);
        for (char c : text) // on this thread, at once
            SendMessageA(Edit(), WM_CHAR, static_cast<unsigned char>(c), 0);
        SendMessageA(page.Window(), WM_TIMER, rb::NotesPage::kSaveDelayTimer, 0);
    }
    std::string Frame() const { return rbtest::ItemText(page.Window(), IDC_NOTES_FRAME); }
};

TEST_F(NotesPageTest, TwoPagesSavingInTurnKeepBothNotesAndTheFilesAttributes) {
    rbtest::WriteBytes(Notes(), "alt");
    SetFileAttributesW(Notes().c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    const std::wstring beside = dir / L"Rubrikator_Notiz (2).txt";
    StandaloneNotes first, second; // both read "alt"
    first.TypeAtTheEndAndSave(" eins");
    EXPECT_EQ(rbtest::ReadBytes(Notes()), "alt eins");
    EXPECT_EQ(first.Frame(), "Notiz");
    // The second page's note was changed elsewhere since it read it: its text goes beside.
    second.TypeAtTheEndAndSave(" zwei");
    EXPECT_EQ(rbtest::ReadBytes(Notes()), "alt eins");
    EXPECT_EQ(rbtest::ReadBytes(beside), "alt zwei");
    EXPECT_EQ(second.Frame(),
              "Notiz \x96 anderswo ge\xE4ndert, diese hier steht in Rubrikator_Notiz (2).txt");
    // Each goes on with its own file.
    second.TypeAtTheEndAndSave("!");
    first.TypeAtTheEndAndSave("?");
    EXPECT_EQ(rbtest::ReadBytes(Notes()), "alt eins?");
    EXPECT_EQ(rbtest::ReadBytes(beside), "alt zwei!");
    EXPECT_EQ(GetFileAttributesW(Notes().c_str()),
              DWORD(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(NoteBesideNames(), (std::vector<std::wstring>{L"Rubrikator_Notiz (2).txt"}));

    // A page with nothing unsaved shows, when it shows again, what another saved.
    StandaloneNotes third;
    first.TypeAtTheEndAndSave(" drei");
    ShowWindow(third.page.Window(), SW_HIDE);
    ShowWindow(third.page.Window(), SW_SHOWNA);
    EXPECT_EQ(rbtest::WindowText(third.Edit()), "alt eins? drei");
    third.TypeAtTheEndAndSave(".");
    EXPECT_EQ(rbtest::ReadBytes(Notes()), "alt eins? drei.");
}

TEST_F(NotesPageTest, ANoteHeldByAnotherProgramIsNotTakenAsChangedAndGetsTheTextLater) {
    rbtest::WriteBytes(Notes(), "alt");
    StandaloneNotes page;
    // A virus scanner or backup program holds the file against every other reader.
    HANDLE held = CreateFileW(Notes().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    page.TypeAtTheEndAndSave(" neu");
    CloseHandle(held);
    EXPECT_EQ(rbtest::ReadBytes(Notes()), "alt");
    EXPECT_TRUE(NoteBesideNames().empty());
    EXPECT_EQ(page.Frame(), "Notiz");
    // The next try, once the file can be read and compared again, saves into the note.
    SendMessageA(page.page.Window(), WM_TIMER, rb::NotesPage::kSaveDelayTimer, 0);
    EXPECT_EQ(rbtest::ReadBytes(Notes()), "alt neu");
    EXPECT_TRUE(NoteBesideNames().empty());
}

TEST(NoteBesidePath, TheNumberGoesBeforeTheExtension) {
    EXPECT_EQ(rb::NoteBesidePath(L"C:\\Dok\\Rubrikator_Notiz.txt", 2),
              L"C:\\Dok\\Rubrikator_Notiz (2).txt");
    EXPECT_EQ(rb::NoteBesidePath(L"C:\\Dok.alt\\Notiz", 3), L"C:\\Dok.alt\\Notiz (3)");
}

TEST_F(NotesPageTest, ADocumentsFolderOutsideTheCodePageWorks) {
    std::wstring cyrillic = dir.MakeDir(L"\u0414\u043e\u043a\u0443\u043c\u0435\u043d\u0442\u044b");
    rbtest::DocumentsFolder documentsHere(cyrillic);
    EXPECT_EQ(rb::NotesFilePath(), cyrillic + L"\\Rubrikator_Notiz.txt");
    rbtest::WriteBytes(cyrillic + L"\\Rubrikator_Notiz.txt", "gelesen");
    std::string shown;
    rb::WriteIntOption("tab_id", 1);
    OpenStandalone([&](HWND dialog) {
        HWND edit = NotesEdit(dialog);
        shown = rbtest::WindowText(edit);
        rbtest::Type(edit, " und gespeichert");
        EXPECT_TRUE(NoteHolds(cyrillic + L"\\Rubrikator_Notiz.txt", "gelesen und gespeichert"));
    });
    EXPECT_EQ(shown, "gelesen");
    EXPECT_EQ(rbtest::ReadBytes(cyrillic + L"\\Rubrikator_Notiz.txt"), "gelesen und gespeichert");
}

} // namespace
