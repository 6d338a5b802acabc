// The export command end to end: the real save dialog, driven from a second thread.
#include <gtest/gtest.h>

#include "activation_probe.h"
#include "columns/option_store.h"
#include "common/file_replace.h"
#include "common/shell_open.h"
#include "export/export_command.h"
#include "export/list_exporter.h"
#include "export/list_source.h"
#include "fake_explorer.h"
#include "support.h"
#include "thread.h"
#include "windows_found.h"

#include <atomic>
#include <functional>
#include <vector>

namespace {

std::vector<std::wstring> opened;
bool RecordOpen(HWND, const std::wstring& target, int) {
    opened.push_back(target);
    return true;
}

// Control ids of the common save dialog.
constexpr int kFileNameCombo = 0x47c; // cmb13, explorer style
constexpr int kFileNameEdit = 0x480;  // edt1
constexpr int kTypeCombo = 0x470;     // cmb1

using rbtest::ItemText;
using rbtest::WaitForWindow;

int FileNameControl(HWND dialog) {
    return GetDlgItem(dialog, kFileNameCombo) ? kFileNameCombo : kFileNameEdit;
}

// What the driver saw and what it is to do.
struct Driver {
    std::wstring folder; // first browsed to, as a user does, when not empty
    std::wstring name;  // typed into the dialog; empty: cancel
    int type = 0;       // 1-based type to pick; 0: keep
    bool expectMessage = false;
    int answer = IDOK; // the button pressed in the message box
    // Seen:
    std::string title, proposed, message, messageCaption;
    int preselected = -1;
    bool dialogFound = false;
    bool buttonsOfTheManifest = false;
    HWND messageOwner = nullptr;
    std::vector<HWND> answered; // the windows this driver closed

    void Run() {
        HWND dialog = WaitForWindow("#32770", rb::kExportTitle);
        if (!dialog)
            return;
        answered.push_back(dialog);
        dialogFound = true;
        char text[256] = {};
        GetWindowTextA(dialog, text, sizeof text);
        title = text;
        proposed = ItemText(dialog, FileNameControl(dialog));
        HWND types = GetDlgItem(dialog, kTypeCombo);
        buttonsOfTheManifest = rbtest::MadeInAManifestContext(GetDlgItem(dialog, IDCANCEL));
        preselected = static_cast<int>(SendMessageA(types, CB_GETCURSEL, 0, 0));
        if (type) {
            SendMessageA(types, CB_SETCURSEL, static_cast<WPARAM>(type - 1), 0);
            for (WORD notification : {WORD(CBN_SELCHANGE), WORD(CBN_SELENDOK)})
                SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kTypeCombo, notification),
                             reinterpret_cast<LPARAM>(types));
        }
        if (name.empty()) {
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        if (!folder.empty()) {
            SetDlgItemTextW(dialog, FileNameControl(dialog), folder.c_str());
            SendMessageA(dialog, WM_COMMAND, IDOK, 0);
        }
        SetDlgItemTextW(dialog, FileNameControl(dialog), name.c_str());
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        if (!expectMessage)
            return;
        HWND box = WaitForWindow("#32770", nullptr, dialog);
        if (!box)
            return;
        answered.push_back(box);
        GetWindowTextA(box, text, sizeof text);
        messageCaption = text;
        message = ItemText(box, 0xFFFF);
        messageOwner = GetWindow(box, GW_OWNER);
        PostMessageA(box, WM_COMMAND, answer, 0);
    }

    // Anything still open until the export returns was not expected: note it and close
    // it, so that a failing test ends instead of waiting forever.
    std::vector<std::string> unexpected;
    void CloseStrays(const std::atomic<bool>& finished) {
        while (!finished) {
            if (HWND found = rbtest::FindOwnWindow("#32770", nullptr)) {
                unexpected.push_back(rbtest::WindowText(found) + ": " + ItemText(found, 0xFFFF));
                PostMessageA(found, WM_COMMAND, IDCANCEL, 0);
                PostMessageA(found, WM_CLOSE, 0, 0);
            }
            Sleep(200);
        }
    }
};

// The system's own text for an error, as FormatMessage gives it, without its line break.
std::string SystemText(DWORD error) {
    char text[512] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    return message;
}

std::string OpenFailure(const std::wstring& path, DWORD error) {
    return "Fehler, beim \xD6"
           "ffnen der Zieldatei.\nWrite failed, Target file.\n" +
           rbtest::Narrow(path) + "\n" + SystemText(error);
}

class ExportCommand : public testing::Test {
protected:
    void SetUp() override {
        rbtest::ClearOptionsKey();
        opened.clear();
        previous = rb::SetShellOpenFunction(&RecordOpen);
        explorer.SetColumns({{"Name", 100},
                             {"Gr\xF6\xDF"
                              "e",
                              60}});
        explorer.AddRows({{"a.txt", "12 KB"}, {"b", ""}});
    }
    void TearDown() override {
        rb::SetShellOpenFunction(previous);
        rbtest::ClearOptionsKey();
    }

    // Runs the export with a driver on another thread; the dialog is modal here.
    void Export(Driver& driver) {
        std::atomic<bool> finished{false};
        rbtest::Thread thread([&driver, &finished] {
            driver.Run();
            // What it answered goes in the dialog's own time; anything open after that is a
            // stray.
            for (HWND window : driver.answered)
                rbtest::WaitUntil([window] { return !IsWindow(window); });
            driver.CloseStrays(finished);
        });
        rb::ListExporter exporter(explorer.List());
        rb::ExportList(exporter, "Rubrikator");
        finished = true;
        thread.Join();
        ASSERT_TRUE(driver.dialogFound);
        EXPECT_TRUE(driver.unexpected.empty()) << driver.unexpected.front();
    }
    std::wstring Path(const char* name) { return dir / rbtest::Widen(name); }

    rbtest::TempDir dir;
    rbtest::FakeExplorer explorer;
    rb::ShellOpenFunction previous = nullptr;
};

TEST_F(ExportCommand, DialogShowsTitleNameAndRememberedType) {
    Driver driver; // cancel
    Export(driver);
    EXPECT_EQ(driver.title, "Export zu TXT,CSV,HTML oder XLS ");
    EXPECT_EQ(driver.proposed, "Export_Rubrikator");
    EXPECT_EQ(driver.preselected, 2); // html, the third type
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(rb::ReadIntOption("ListFilter", -1), -1); // cancel stores nothing
}

TEST_F(ExportCommand, TheSaveDialogRunsInTheModulesActivationContext) {
    Driver driver; // cancels, after looking at the dialog's buttons
    Export(driver);
    EXPECT_TRUE(driver.buttonsOfTheManifest);
}

TEST_F(ExportCommand, TextFileGetsItsExtensionAndTheTypeIsRemembered) {
    Driver driver;
    driver.name = Path("Liste");
    driver.type = 1;
    Export(driver);
    std::wstring path = Path("Liste.txt");
    EXPECT_EQ(rbtest::ReadBytes(path), "Name\tGr\xF6\xDF"
                                                      "e\t\r\na.txt\t12 KB\t\r\nb\t\t\r\n");
    EXPECT_EQ(opened, std::vector<std::wstring>{path});
    EXPECT_EQ(rb::ReadIntOption("ListFilter", -1), 1);

    Driver cancel; // the next dialog preselects the text type; a cancel keeps it
    cancel.type = 2;
    Export(cancel);
    EXPECT_EQ(cancel.preselected, 0);
    EXPECT_EQ(rb::ReadIntOption("ListFilter", -1), 1);
}

TEST_F(ExportCommand, ExtensionsAreKeptOrAppended) {
    // A folder whose name the ANSI code page cannot write (Cyrillic, an emoji).
    const std::wstring foreign = L"\u0414\u043e\u043a \U0001F4C1";
    dir.MakeDir(foreign);
    struct Case {
        std::wstring typed;
        int type;
        std::wstring written;
    } cases[] = {
        {L"Liste.TXT", 1, L"Liste.TXT"},
        {L"Liste.htm", 3, L"Liste.htm.html"},
        {L"Liste.csv", 4, L"Liste.csv.xls"},
        {L"Liste.", 2, L"Liste..csv"},
        {foreign + L"\\Liste", 1, foreign + L"\\Liste.txt"},
        {foreign + L"\\Liste", 4, foreign + L"\\Liste.xls"},
    };
    for (const Case& c : cases) {
        opened.clear();
        Driver driver;
        driver.name = dir / c.typed;
        driver.type = c.type;
        Export(driver);
        EXPECT_EQ(opened, std::vector<std::wstring>{dir / c.written}) << c.type;
        EXPECT_FALSE(rbtest::ReadBytes(dir / c.written).empty()) << c.type;
        EXPECT_EQ(rb::ReadIntOption("ListFilter", -1), c.type);
    }
    EXPECT_EQ(rbtest::ReadBytes((Path("Liste.csv.xls"))).substr(0, 8),
              std::string("\x09\x00\x04\x00\x02\x00\x10\x00", 8));
    EXPECT_EQ(rbtest::ReadBytes((Path("Liste..csv"))),
              "\"Name\";\"Gr\xF6\xDF"
              "e\";\r\n\"a.txt\";\"12 KB\";\r\n\"b\";\"\";\r\n");
}

TEST_F(ExportCommand, TextTargetThatCannotBeCreatedIsReportedAndNotOpened) {
    // A folder stands where the file would go.
    CreateDirectoryW((dir / L"Liste.txt").c_str(), nullptr);
    Driver driver;
    driver.name = Path("Liste");
    driver.type = 1;
    driver.expectMessage = true;
    Export(driver);
    EXPECT_EQ(driver.message, OpenFailure(Path("Liste.txt"), ERROR_ACCESS_DENIED));
    EXPECT_EQ(driver.messageOwner, nullptr);
    EXPECT_TRUE(opened.empty());
}

TEST_F(ExportCommand, HtmlTargetThatCannotBeCreatedIsReportedAndNotOpened) {
    CreateDirectoryW((dir / L"Liste.html").c_str(), nullptr);
    Driver driver;
    driver.name = Path("Liste");
    driver.type = 3;
    driver.expectMessage = true;
    Export(driver);
    EXPECT_EQ(driver.message, OpenFailure(Path("Liste.html"), ERROR_ACCESS_DENIED));
    // Owned by the list view, that is by its top-level window.
    EXPECT_EQ(driver.messageOwner, explorer.Frame());
    EXPECT_TRUE(opened.empty());

    // The XLS writer reports the same way.
    CreateDirectoryW((dir / L"Liste.xls").c_str(), nullptr);
    Driver xls;
    xls.name = Path("Liste");
    xls.type = 4;
    xls.expectMessage = true;
    Export(xls);
    EXPECT_EQ(xls.message, OpenFailure(Path("Liste.xls"), ERROR_ACCESS_DENIED));
    EXPECT_EQ(xls.messageOwner, explorer.Frame());
    EXPECT_TRUE(opened.empty());
}

TEST_F(ExportCommand, AFileThatTheAppendedExtensionNamesIsNotReplacedWithoutAsking) {
    const std::wstring target = Path("Liste.txt");
    rbtest::WriteBytes(target, "vorher");
    Driver no;
    no.name = Path("Liste"); // the dialog asks about "Liste", which does not exist
    no.type = 1;
    no.expectMessage = true;
    no.answer = IDNO;
    Export(no);
    EXPECT_EQ(no.message, "Die Datei gibt es schon. Soll sie ersetzt werden?\nThe file already "
                          "exists. Replace it?\n" +
                              rbtest::Narrow(target));
    EXPECT_EQ(no.messageOwner, nullptr);
    EXPECT_EQ(rbtest::ReadBytes(target), "vorher");
    EXPECT_TRUE(opened.empty());

    Driver yes = no;
    yes.answer = IDYES;
    Export(yes);
    EXPECT_EQ(rbtest::ReadBytes(target), "Name\tGr\xF6\xDF"
                                                        "e\t\r\na.txt\t12 KB\t\r\nb\t\t\r\n");
    EXPECT_EQ(opened, std::vector<std::wstring>{target});

    // An HTML target of the appended name, answered No, is not written either.
    rbtest::WriteBytes((Path("Seite.html")), "alt");
    opened.clear();
    Driver html = no;
    html.name = Path("Seite");
    html.type = 3;
    Export(html);
    EXPECT_EQ(rbtest::ReadBytes((Path("Seite.html"))), "alt");
    EXPECT_TRUE(opened.empty());
}

TEST_F(ExportCommand, XlsPastTheFormatsRowsSaysHowManyRowsWereWritten) {
    rb::MemoryListSource list;
    list.columns = {{"Name", 100}, {"Wert", 50}};
    for (int r = 0; r < 20000; ++r)
        list.rows.push_back({"n" + std::to_string(r), std::to_string(r)});
    std::string message;
    HWND owner = reinterpret_cast<HWND>(1);
    rbtest::Thread reader([&message, &owner] {
        HWND box = WaitForWindow("#32770", nullptr);
        if (!box)
            return;
        message = ItemText(box, 0xFFFF);
        owner = GetWindow(box, GW_OWNER);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    rb::ListExporter exporter(list, explorer.List());
    std::wstring path = Path("gross.xls");
    EXPECT_TRUE(exporter.WriteXlsFile(path));
    reader.Join();
    EXPECT_EQ(owner, nullptr);
    EXPECT_EQ(message,
              "Die XLS-Datei fasst 16384 Zeilen und 256 Spalten: 16384 von 20001 Zeilen und 2 von "
              "2 Spalten geschrieben.\nThe XLS file holds 16384 rows and 256 columns: 16384 of "
              "20001 rows and 2 of 2 columns written.\n" +
                  rbtest::Narrow(path));
    EXPECT_EQ(opened, std::vector<std::wstring>{path});
    std::string bytes = rbtest::ReadBytes(path);
    // The last record before EOF is row 16383 (the 16383rd item), column 1.
    ASSERT_GT(bytes.size(), 20u);
    std::string last = "16382";
    size_t at = bytes.size() - 4 - (12 + last.size());
    EXPECT_EQ(bytes.substr(at, 8), std::string("\x04\x00\x0D\x00\xFF\x3F\x01\x00", 8));
    EXPECT_EQ(bytes.substr(at + 12, last.size()), last);
}

// Writes the first `budget` bytes of a file, then fails as a full disk does.
struct FullDisk {
    static DWORD budget;
    static bool Write(HANDLE file, const void* data, DWORD size) {
        DWORD part = size < budget ? size : budget, written = 0;
        if (part && !WriteFile(file, data, part, &written, nullptr))
            return false;
        budget -= part;
        if (part == size)
            return true;
        SetLastError(ERROR_DISK_FULL);
        return false;
    }
};
DWORD FullDisk::budget = 0;

// Runs one writer of `exporter` while another thread reads the message it shows.
struct Written {
    bool result;
    std::string message;
    HWND owner;
};
template <typename Write> Written WriteWithMessage(Write write) {
    Written seen = {false, "", reinterpret_cast<HWND>(1)};
    rbtest::Thread reader([&seen] {
        if (HWND box = WaitForWindow("#32770", nullptr)) {
            seen.message = ItemText(box, 0xFFFF);
            seen.owner = GetWindow(box, GW_OWNER);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
    });
    seen.result = write();
    reader.Join();
    return seen;
}

TEST_F(ExportCommand, AWriteThatFailsInAnyFormatIsReportedAndKeepsWhatWasThereAndOpensNothing) {
    rb::MemoryListSource list;
    list.columns = {{"Name", 100}, {"Wert", 50}};
    for (int r = 0; r < 3000; ++r) // past one 64 KB block of each writer
        list.rows.push_back({"name number " + std::to_string(r), std::string(20, 'w')});
    rb::ListExporter exporter(list, explorer.List());
    rb::FileWriteFunction previousWriter = rb::SetFileWriteFunction(&FullDisk::Write);
    struct Row {
        const char* name;
        const char* before; // the file the export was to replace, or none
        DWORD budget;       // bytes written before the disk is full
        std::function<bool(const std::wstring&)> write;
    } rows[] = {
        {"voll.txt", "letzte Woche", 10,
         [&](const std::wstring& p) { return exporter.WriteTextFile(p, rb::TextFormat::Txt); }},
        {"voll.csv", nullptr, 70000,
         [&](const std::wstring& p) { return exporter.WriteTextFile(p, rb::TextFormat::Csv); }},
        {"voll.html", "<html>alt", 0, [&](const std::wstring& p) { return exporter.WriteHtmlFile(p); }},
        {"voll.xls", "\x09\x00alt", 65536,
         [&](const std::wstring& p) { return exporter.WriteXlsFile(p); }},
    };
    for (const Row& row : rows) {
        FullDisk::budget = row.budget;
        const std::wstring path = Path(row.name);
        if (row.before)
            rbtest::WriteBytes(path, row.before);
        Written seen = WriteWithMessage([&] { return row.write(path); });
        EXPECT_FALSE(seen.result) << row.name;
        EXPECT_EQ(seen.message, "Die Liste konnte nicht gespeichert werden:\n" +
                                    rbtest::Narrow(path) + "\n" + SystemText(ERROR_DISK_FULL))
            << row.name;
        EXPECT_EQ(seen.owner, explorer.Frame()) << row.name;
        if (row.before)
            EXPECT_EQ(rbtest::ReadBytes(path), row.before) << row.name;
        else
            EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << row.name;
    }
    // Only the files of the rows with one before are there: nothing written on the way.
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((dir / L"*").c_str(), &found);
    int files = 0;
    if (find != INVALID_HANDLE_VALUE) {
        do
            files += !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        while (FindNextFileW(find, &found));
        FindClose(find);
    }
    EXPECT_EQ(files, 3);
    EXPECT_TRUE(opened.empty());
    rb::SetFileWriteFunction(previousWriter);

    // A real read-only file in the way (the program runs without the rights that let root
    // write anything): not replaced, and the system's reason given.
    for (const char* name : {"fest.txt", "fest.html", "fest.xls"}) {
        const std::wstring path = Path(name);
        rbtest::WriteBytes(path, "bleibt");
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
        Written seen = WriteWithMessage([&] {
            std::wstring extension = path.substr(path.size() - 3);
            return extension == L"txt"   ? exporter.WriteTextFile(path, rb::TextFormat::Txt)
                   : extension == L"tml" ? exporter.WriteHtmlFile(path)
                                        : exporter.WriteXlsFile(path);
        });
        EXPECT_FALSE(seen.result) << name;
        EXPECT_EQ(seen.message, OpenFailure(path, ERROR_ACCESS_DENIED)) << name;
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(rbtest::ReadBytes(path), "bleibt") << name;
    }
    EXPECT_TRUE(opened.empty());
}

TEST_F(ExportCommand, TheSaveDialogLeavesTheProcesssCurrentFolderAsItWas) {
    rbtest::TempDir elsewhere;
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(elsewhere.Path().c_str()));
    Driver driver;
    driver.folder = dir.Path(); // the dialog browses there
    driver.name = L"Liste";
    driver.type = 1;
    Export(driver);
    wchar_t after[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, after);
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(opened, std::vector<std::wstring>{Path("Liste.txt")});
    EXPECT_EQ(std::wstring(after), elsewhere.Path());
}

TEST(ExtensionOf, LowerCasedTextAfterTheLastDot) {
    EXPECT_EQ(rb::ExtensionOf(L"C:\\a\\Liste.TXT"), L"txt");
    EXPECT_EQ(rb::ExtensionOf(L"C:\\a\\Liste.\u00C4\u0416L"), L"\u00E4\u0436l");
    EXPECT_EQ(rb::ExtensionOf(L"C:\\a\\Liste."), L"c:\\a\\liste.");
    EXPECT_EQ(rb::ExtensionOf(L"C:\\old.files\\Liste"), L"files\\liste");
    EXPECT_EQ(rb::ExtensionOf(L"Liste"), L"liste");
    EXPECT_EQ(rb::ExtensionOf(L""), L"");
}

TEST(ExportFilter, FourTypesEachEndedByZero) {
    std::wstring filter = rb::ExportFilter();
    EXPECT_EQ(filter, std::wstring(L"Textdatei Tabgetrennt(*.txt)\0*.txt\0CSV (*.csv)\0*.csv\0"
                                   L"html (*.html)\0*.html\0XLS (*.xls)\0*.xls\0\0",
                                   93));
}

} // namespace
