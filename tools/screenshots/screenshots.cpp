// Opens the main dialog on each of its pages and saves a picture of each as a BMP file;
// tools/screenshots/run turns them into the PNG files under docs/. Run under Wine. The
// dialog comes from the DLL as a user has it: copied to where the setup program puts it
// ("C:\Program Files\Rubrikator"), given the sample folder as Explorer gives it, and opened
// through its exported function, so that the info page shows that path.
//   screenshots.exe OUTPUT-FOLDER SAMPLE-FOLDER DLL [NAME-SUFFIX]
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include "browse/tree_shelf.h"
#include "columns/option_store.h"
#include "com/guids.h"
#include "common/file_replace.h"
#include "resource_ids.h"
#include "ui/notes_page.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::wstring output, suffix;

// The dialog as the user sees it when working in it: its title bar drawn active.
void Activate(HWND dialog) {
    SetForegroundWindow(dialog);
    SendMessageA(dialog, WM_NCACTIVATE, TRUE, 0);
}

HWND FindDialog() {
    for (int i = 0; i < 200; ++i) {
        HWND found = FindWindowA("#32770", "Rubrikator");
        if (found && IsWindowVisible(found))
            return found;
        Sleep(50);
    }
    return nullptr;
}

// The screen's pixels inside `rect` as a 24-bit BMP file.
bool SaveScreen(const RECT& rect, const std::wstring& name) {
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    DWORD size = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER head = {};
    head.bfType = 0x4D42;
    head.bfOffBits = sizeof head + sizeof info.bmiHeader;
    head.bfSize = head.bfOffBits + size;
    bool ok = false;
    HANDLE file = CreateFileW((output + L"\\" + name + suffix + L".bmp").c_str(), GENERIC_WRITE, 0,
                              nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written;
        ok = WriteFile(file, &head, sizeof head, &written, nullptr) &&
             WriteFile(file, &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr) &&
             WriteFile(file, bits, size, &written, nullptr);
        CloseHandle(file);
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

// The dialog with the menu just opened over it, then the menu closed.
void SaveWithMenu(HWND dialog, DWORD opening, const std::wstring& name) {
    Sleep(opening);
    RECT dialogRect;
    GetWindowRect(dialog, &dialogRect);
    HWND menu = FindWindowA("#32768", nullptr);
    RECT both = dialogRect;
    if (menu) {
        RECT menuRect;
        GetWindowRect(menu, &menuRect);
        UnionRect(&both, &dialogRect, &menuRect);
    }
    SaveScreen(both, name);
    PostMessageA(menu ? menu : dialog, WM_KEYDOWN, VK_ESCAPE, 0);
    Sleep(300);
}

bool SaveWindow(HWND window, const std::wstring& name) {
    RECT rect;
    GetWindowRect(window, &rect);
    return SaveScreen(rect, name);
}

// The visible page's list view, or null.
HWND VisibleList(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[64] = {};
        GetClassNameA(child, name, sizeof name);
        if (IsWindowVisible(child) && std::string(name) == "#32770")
            return GetDlgItem(child, IDC_LIST);
    }
    return nullptr;
}

// Grows the dialog by half its width and a third of its height, but keeps it whole on the
// screen (what lies outside would be black in the picture); returns its place before.
RECT Grow(HWND dialog) {
    RECT place;
    GetWindowRect(dialog, &place);
    const int wide = (place.right - place.left) * 3 / 2, high = (place.bottom - place.top) * 4 / 3;
    const int screenWide = GetSystemMetrics(SM_CXSCREEN), screenHigh = GetSystemMetrics(SM_CYSCREEN);
    SetWindowPos(dialog, nullptr, 0, 0, wide < screenWide ? wide : screenWide,
                 high < screenHigh ? high : screenHigh, SWP_NOZORDER);
    return place;
}

DWORD WINAPI Drive(void*) {
    HWND dialog = FindDialog();
    if (!dialog)
        return 1;
    Sleep(500);
    struct Shot {
        UINT command;
        const wchar_t* name;
    };
    const Shot shots[] = {
        {ID_SHOW_COLUMNS, L"columns-page"},
        {ID_SHOW_NOTES, L"notes-page"},
        {ID_SHOW_DETAILS, L"details-page"},
        {ID_SHOW_INFO, L"info-page"},
    };
    for (const Shot& shot : shots) {
        SendMessageA(dialog, WM_COMMAND, shot.command, 0);
        if (shot.command == ID_SHOW_COLUMNS) {
            // A column with its description and options.
            HWND list = VisibleList(dialog);
            LVITEMA item = {};
            item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageA(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
            SendMessageA(list, LVM_SETSELECTIONMARK, 0, 0);
        }
        Sleep(shot.command == ID_SHOW_DETAILS ? 2500 : 700);
        Activate(dialog);
        Sleep(100);
        SaveWindow(dialog, shot.name);
        if (shot.command == ID_SHOW_COLUMNS)
            SaveWindow(dialog, L"main-dialog");
    }
    // The details page as a folder-size browser: the dialog grown, sorted by size, the
    // largest folder opened.
    SendMessageA(dialog, WM_COMMAND, ID_SHOW_DETAILS, 0);
    Sleep(1500);
    const RECT grown = Grow(dialog);
    if (HWND list = VisibleList(dialog)) {
        NMLISTVIEW click = {};
        click.hdr.hwndFrom = list;
        click.hdr.idFrom = IDC_LIST;
        click.hdr.code = LVN_COLUMNCLICK;
        click.iItem = -1;
        click.iSubItem = 1;
        if (rb::ReadIntOption("details_spalte", 0) != 1)
            SendMessageA(GetParent(list), WM_NOTIFY, IDC_LIST, reinterpret_cast<LPARAM>(&click));
        Sleep(1500);
        LVITEMA item = {};
        item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
        SendMessageA(list, WM_KEYDOWN, VK_RETURN, 0);
        Sleep(2500);
        SendMessageA(list, LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&item));
    }
    Activate(dialog);
    Sleep(200);
    SaveWindow(dialog, L"details-browser");
    // The largest files and the file types of the sample folder's tree.
    if (HWND list = VisibleList(dialog)) {
        HWND page = GetParent(list);
        SendMessageA(list, WM_KEYDOWN, VK_BACK, 0);
        Sleep(1000);
        HWND tabs = GetDlgItem(page, IDC_DETAILS_TABS);
        const struct {
            int tab;
            const wchar_t* name;
        } tabShots[] = {{1, L"details-largest"}, {2, L"details-types"}, {0, nullptr}};
        for (const auto& tabShot : tabShots) {
            SendMessageA(tabs, TCM_SETCURSEL, tabShot.tab, 0);
            NMHDR change = {tabs, IDC_DETAILS_TABS, static_cast<UINT>(TCN_SELCHANGE)};
            SendMessageA(page, WM_NOTIFY, IDC_DETAILS_TABS, reinterpret_cast<LPARAM>(&change));
            if (!tabShot.name)
                break;
            Sleep(2000);
            Activate(dialog);
            Sleep(200);
            SaveWindow(dialog, tabShot.name);
        }
    }
    // The shell's context menu with the page's entries, open on the first row.
    if (HWND list = VisibleList(dialog)) {
        Sleep(1000);
        LVITEMA item = {};
        item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
        Activate(dialog);
        PostMessageA(list, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(-1, -1));
        SaveWithMenu(dialog, 1500, L"details-menu");
    }
    SetWindowPos(dialog, nullptr, 0, 0, grown.right - grown.left, grown.bottom - grown.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    // The "Info ..." popup, open below its button.
    Activate(dialog);
    PostMessageA(dialog, WM_COMMAND, ID_INFO_MENU, 0);
    SaveWithMenu(dialog, 800, L"info-menu");
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    return 0;
}

// Opened again after the sample changed: its saved numbers checked, the growth since the
// first opening dragged beside the size, as a user may.
DWORD WINAPI DriveGrowth(void*) {
    HWND dialog = FindDialog();
    if (!dialog)
        return 1;
    Sleep(500);
    SendMessageA(dialog, WM_COMMAND, ID_SHOW_DETAILS, 0);
    Sleep(500);
    const RECT place = Grow(dialog);
    if (HWND list = VisibleList(dialog)) {
        HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
        const int count = static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
        std::vector<int> order(static_cast<std::size_t>(count));
        SendMessageA(list, LVM_GETCOLUMNORDERARRAY, count, reinterpret_cast<LPARAM>(order.data()));
        if (count > 3) {
            order.erase(order.end() - 1);
            order.insert(order.begin() + 2, count - 1);
            SendMessageA(list, LVM_SETCOLUMNORDERARRAY, count, reinterpret_cast<LPARAM>(order.data()));
        }
    }
    Sleep(2500);
    Activate(dialog);
    Sleep(200);
    // Wine's list does not draw a column moved by LVM_SETCOLUMNORDERARRAY anew (a drag
    // with the mouse does).
    if (HWND list = VisibleList(dialog)) {
        InvalidateRect(list, nullptr, TRUE);
        UpdateWindow(list);
        Sleep(300);
    }
    SaveWindow(dialog, L"details-growth");
    // The size it opens at next time, as before.
    SetWindowPos(dialog, nullptr, 0, 0, place.right - place.left, place.bottom - place.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    return 0;
}

} // namespace

// Where the setup program puts the DLL: "C:\\Program Files\\Rubrikator".
std::wstring InstallFolder() {
    wchar_t programs[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, programs)))
        return std::wstring();
    std::wstring folder = std::wstring(programs) + L"\\Rubrikator";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// The DLL at the setup program's place; null when it cannot be put there or loaded.
HMODULE InstallAndLoad(const std::wstring& built) {
    std::wstring dll = InstallFolder() + L"\\Rubrikator.dll";
    if (!CopyFileW(built.c_str(), dll.c_str(), FALSE))
        return nullptr;
    return LoadLibraryW(dll.c_str());
}

// The info page names the program that hosts the dialog: this tool runs from the
// install folder too, not from the build folder. Runs the copy there and returns its exit
// code, or -1 when this already is that copy.
int RunFromTheInstallFolder() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring placed = InstallFolder() + L"\\Rubrikator-Bilder.exe";
    if (lstrcmpiW(self, placed.c_str()) == 0)
        return -1;
    if (!CopyFileW(self, placed.c_str(), FALSE))
        return 1;
    // The same arguments, after the program's own name.
    const wchar_t* arguments = GetCommandLineW();
    bool quoted = *arguments == L'"';
    for (++arguments; *arguments && (quoted ? *arguments != L'"' : *arguments != L' '); ++arguments) {
    }
    if (*arguments == L'"')
        ++arguments;
    std::wstring command = L"\"" + placed + L"\"" + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(placed.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return 1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

// The folder as the shell hands it to the context menu's handler.
void SelectFolder(HMODULE dll, const wchar_t* path) {
    using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto getClassObject = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(dll, "DllGetClassObject")));
    IClassFactory* factory = nullptr;
    if (!getClassObject ||
        FAILED(getClassObject(rb::kClsidRubrikatorHandler, IID_IClassFactory,
                              reinterpret_cast<void**>(&factory))))
        return;
    IShellExtInit* init = nullptr;
    if (SUCCEEDED(factory->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&init)))) {
        LPITEMIDLIST folder = nullptr;
        SFGAOF attributes = 0;
        if (SUCCEEDED(SHParseDisplayName(path, nullptr, &folder, 0, &attributes))) {
            init->Initialize(folder, nullptr, nullptr);
            CoTaskMemFree(folder);
        }
        init->Release();
    }
    factory->Release();
}

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::printf("usage: screenshots.exe OUTPUT-FOLDER SAMPLE-FOLDER DLL [NAME-SUFFIX]\n");
        return 2;
    }
    int placed = RunFromTheInstallFolder();
    if (placed >= 0)
        return placed;
    output = argv[1];
    if (argc > 4)
        suffix = argv[4];
    // As Explorer: it runs aware of the text scale, so the dialog grows with it.
    using SetAwareFn = BOOL(WINAPI*)();
    if (auto aware = reinterpret_cast<SetAwareFn>(reinterpret_cast<void (*)()>(
            GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDPIAware"))))
        aware();
    OleInitialize(nullptr);
    HMODULE dll = InstallAndLoad(argv[3]);
    using DialogFn = int(WINAPI*)(DWORD);
    auto openDialog = dll ? reinterpret_cast<DialogFn>(reinterpret_cast<void (*)()>(
                                GetProcAddress(dll, "DoRubrikatorDlg")))
                          : nullptr;
    if (!openDialog) {
        std::printf("cannot install and load %ls\n", argv[3]);
        return 1;
    }
    // The details page lists the sample folder, as if it had been right-clicked.
    SelectFolder(dll, argv[2]);
    rb::WriteIntOption("tab_id", 0);
    // The screenshot prefix is the tool's own: its notes file holds a sample note.
    rb::ReplaceFileBytes(rb::NotesFilePath(),
                         "Einkaufsliste f\xFCr Freitag:\r\n- Druckerpapier\r\n- Toner "
                         "(Laserdrucker, Raum 2.14)\r\n\r\nAnruf bei Frau M\xFCller wegen "
                         "des Angebots, vor 16 Uhr.\r\n");
    // A note that another dialog could not put into the file lies beside it.
    rb::ReplaceFileBytes(rb::NoteBesidePath(rb::NotesFilePath(), 2), "Termin verschoben.\r\n");
    rb::ClearShelf(); // the first opening shows nothing saved
    HANDLE driver = CreateThread(nullptr, 0, &Drive, nullptr, 0, nullptr);
    int result = openDialog(0);
    WaitForSingleObject(driver, 10000);
    CloseHandle(driver);
    // The tree saved as it closed; then a file comes in the sample's first subfolder and
    // another goes from its second, and the dialog opens again.
    Sleep(2000);
    const std::wstring sample = argv[2];
    std::vector<std::wstring> subfolders;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((sample + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && found.cFileName[0] != L'.')
                subfolders.push_back(sample + L"\\" + found.cFileName);
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    if (!subfolders.empty())
        rb::ReplaceFileBytes(subfolders[0] + L"\\Neu dazu.bin", std::string(3 << 20, 'n'));
    if (subfolders.size() > 1) {
        HANDLE file = FindFirstFileW((subfolders[1] + L"\\*.*").c_str(), &found);
        if (file != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                    DeleteFileW((subfolders[1] + L"\\" + found.cFileName).c_str());
                    break;
                }
            } while (FindNextFileW(file, &found));
            FindClose(file);
        }
    }
    driver = CreateThread(nullptr, 0, &DriveGrowth, nullptr, 0, nullptr);
    const int again = openDialog(0);
    if (again != IDCANCEL)
        result = again;
    WaitForSingleObject(driver, 10000);
    CloseHandle(driver);
    FreeLibrary(dll);
    OleUninitialize();
    return result == IDCANCEL ? 0 : 1;
}
