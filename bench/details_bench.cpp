// The details page under Wine. Prints figures; not a test.
//   details_bench.exe FOLDER-OF-10000-FILES TREE-OF-100000-ENTRIES [FOLDER-OF-100000-FILES]
// 1. Fill with a folder of 10,000 files, then the texts of every visible row.
// 2. A folder of 100,000 files: the shell's own enumeration of it against the page's
//    listing (the enumeration included), and a sort by each kind of column.
// 3. The three numbers of a folder of 100,000 entries as the page gets them (one walk on
//    its worker thread) against one bare FindFirstFileExW walk of the same tree.
// 4. That tree saved as the page closes, and opened again: the time to the first values
//    against the time of the walk.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <shlobj.h>

#include "resource_ids.h"
#include "columns/folder_walk.h"
#include "process_counts.h"
#include "browse/kept_tree.h"
#include "browse/tree_shelf.h"
#include "ui/details_page.h"


#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>

namespace {

double Now() {
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

std::uint64_t BareWalk(const std::wstring& folder, std::uint64_t& entries) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    std::uint64_t total = 0;
    do {
        const wchar_t* n = data.cFileName;
        if (n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0)))
            continue;
        ++entries;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            total += BareWalk(folder + L"\\" + n, entries);
        total += (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return total;
}

std::wstring Cell(HWND list, int row, int column) {
    wchar_t text[512] = {};
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 512;
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

LPITEMIDLIST Parse(const std::wstring& path) {
    LPITEMIDLIST list = nullptr;
    SHParseDisplayName(path.c_str(), nullptr, &list, 0, nullptr);
    return list;
}

// The row of `name` in the list, or -1.
int RowOf(HWND list, const std::wstring& name) {
    int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row)
        if (Cell(list, row, 0) == name)
            return row;
    return -1;
}

// A million folders kept as a walk keeps them (a thousand groups of a thousand, names of
// seven characters), then grafted into the page's tree of the same store: the bytes each
// folder takes with its name, and the peak of the process's committed bytes meanwhile.
void KeptFolders() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    const std::size_t before = rbtest::CommittedPrivateBytes();
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    const std::size_t peakBefore = counters.PeakPagefileUsage;
    const auto store = std::make_shared<rb::KeptStore>(rb::kKeptBytesLimit);
    const int count = 1000000;
    double took;
    std::size_t perFolder, folders;
    {
        rb::KeptTree walked(store);
        const auto root = walked.Enter(0, L"", 0);
        wchar_t name[16];
        for (int group = 0; group < count / 1000; ++group) {
            wsprintfW(name, L"g%06d", group);
            const auto parent = walked.Enter(root, name, 7);
            for (int i = 1; i < 1000; ++i) {
                wsprintfW(name, L"d%06d", i);
                walked.Done(walked.Enter(parent, name, 7), rb::FolderTotals(), true);
            }
            walked.Done(parent, rb::FolderTotals(), true);
        }
        walked.Done(root, rb::FolderTotals(), true);
        perFolder = (rbtest::CommittedPrivateBytes() - before) / walked.Folders();
        rb::KeptTree page(store);
        const double start = Now();
        page.Graft(L"\\\\?\\C:\\Baum", std::move(walked));
        took = Now() - start;
        folders = page.Folders();
    }
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    std::printf("kept folders: %zu bytes each by layout beside the name; %zu measured with a name of "
                "seven characters (target 64)\n",
                rb::KeptTree::HeaderBytes(), perFolder);
    std::printf("  a walk of %zu folders grafted into the page's tree in %.1f ms; the peak of "
                "committed bytes meanwhile %.1f MB, the bound %zu MB\n",
                folders, took * 1e3,
                static_cast<double>(std::max<std::size_t>(counters.PeakPagefileUsage, peakBefore) - before) / 1048576.0,
                rb::kKeptBytesLimit >> 20);
}

// Whether a row of the list shows a folder's numbers, any (the saved ones too), or all
// walked (none running, and the line done).
bool AnyValue(HWND list) {
    const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        const std::wstring files = Cell(list, row, 3);
        if (!files.empty() && files != rb::DetailsPage::kWalkRunningText)
            return true;
    }
    return false;
}

bool AllKnown(HWND list) {
    const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row)
        if (Cell(list, row, 3) == rb::DetailsPage::kWalkRunningText)
            return false;
    wchar_t state[256] = {};
    GetDlgItemTextW(GetParent(list), IDC_DETAILS_STATE, state, 256);
    return rows > 0 && std::wcsncmp(state, L"Fertig", 6) == 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::printf("usage: details_bench.exe FOLDER-OF-FILES TREE\n");
        return 2;
    }
    setvbuf(stdout, nullptr, _IONBF, 0);
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_LISTVIEW_CLASSES;
    InitCommonControlsEx(&controls);
    std::printf("Rubrikator details page benchmark (%d-bit, Wine)\n",
                static_cast<int>(sizeof(void*) * 8));
    KeptFolders();
    rb::DetailsPage page;
    if (!page.Create(nullptr))
        return 1;
    HWND list = GetDlgItem(page.Window(), IDC_LIST);

    LPITEMIDLIST files = Parse(argv[1]);
    for (int run = 0; run < 3; ++run) {
        double start = Now();
        page.Fill(files);
        double filled = Now();
        int rows = static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
        int texts = 0;
        for (int row = 0; row < rows; ++row)
            for (int column = 0; column <= 12; ++column)
                texts += Cell(list, row, column).empty() ? 0 : 1;
        double shown = Now();
        std::printf("Fill of %d items %8.1f ms, then %d visible rows' texts %6.1f ms (%d texts)\n",
                    static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)),
                    (filled - start) * 1e3, rows, (shown - filled) * 1e3, texts);
    }
    CoTaskMemFree(files);

    if (argc > 3) {
        LPITEMIDLIST big = Parse(argv[3]);
        // The smallest of five runs each, interleaved: the machine's noise only ever adds.
        double shellBest = 1e9, fillBest = 1e9, timesBest = 1e9;
        int enumerated = 0;
        for (int run = 0; run < 5; ++run) {
            double start = Now();
            IShellFolder* desktop = nullptr;
            IShellFolder* folder = nullptr;
            IEnumIDList* children = nullptr;
            enumerated = 0;
            SHGetDesktopFolder(&desktop);
            if (desktop &&
                SUCCEEDED(desktop->BindToObject(big, nullptr, IID_IShellFolder,
                                                reinterpret_cast<void**>(&folder))) &&
                folder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN,
                                    &children) == S_OK) {
                LPITEMIDLIST child = nullptr;
                ULONG fetched = 0;
                while (children->Next(1, &child, &fetched) == S_OK && child) {
                    ++enumerated;
                    CoTaskMemFree(child);
                }
                children->Release();
            }
            if (folder)
                folder->Release();
            if (desktop)
                desktop->Release();
            double shell = Now() - start;
            start = Now();
            page.Fill(big);
            double filled = Now() - start;
            // The times read beside it, before the next run: the runs do not overlap.
            double listed = Now();
            while (page.TimesPending() && Now() - listed < 60) {
                Pump();
                Sleep(1);
            }
            timesBest = std::min(timesBest, Now() - listed);
            shellBest = shell < shellBest ? shell : shellBest;
            fillBest = filled < fillBest ? filled : fillBest;
        }
        std::printf("folder of %d entries (best of 5): the shell's enumeration %7.1f ms; the page's "
                    "listing %7.1f ms, of it its own work %7.1f ms (target 100)\n",
                    enumerated, shellBest * 1e3, fillBest * 1e3, (fillBest - shellBest) * 1e3);
        std::printf("  the rows' times, read on their own thread, there %7.1f ms after the listing\n",
                    timesBest * 1e3);
        const int sortedBy[] = {0, 1, 8, 10, 0};
        const char* kinds[] = {"name", "size", "extension", "time", "name again"};
        for (int k = 0; k < 5; ++k) {
            NMLISTVIEW click = {};
            click.hdr.hwndFrom = list;
            click.hdr.idFrom = IDC_LIST;
            click.hdr.code = LVN_COLUMNCLICK;
            click.iItem = -1;
            click.iSubItem = sortedBy[k];
            double start = Now();
            SendMessageW(page.Window(), WM_NOTIFY, IDC_LIST, reinterpret_cast<LPARAM>(&click));
            double sorted = Now() - start;
            std::printf("  sorted by %-10ls %7.1f ms (target 150); first row %ls\n",
                        std::wstring(kinds[k], kinds[k] + strlen(kinds[k])).c_str(), sorted * 1e3,
                        Cell(list, 0, 0).c_str());
        }
        CoTaskMemFree(big);
    }

    // The tree's parent is listed; the tree's row asks for its numbers, walked anew (F5)
    // each run: the walk keeps every folder's numbers.
    std::wstring tree = argv[2];
    std::wstring parent = tree.substr(0, tree.find_last_of(L'\\'));
    std::wstring name = tree.substr(tree.find_last_of(L'\\') + 1);
    // A chain five levels below the tree's top, for one change deep down.
    const std::wstring deep = tree + L"\\g000\\d00000\\tief1\\tief2\\tief3";
    for (const wchar_t* level : {L"\\g000\\d00000\\tief1", L"\\g000\\d00000\\tief1\\tief2",
                                 L"\\g000\\d00000\\tief1\\tief2\\tief3"})
        CreateDirectoryW((tree + level).c_str(), nullptr);
    LPITEMIDLIST parentList = Parse(parent);
    std::uint64_t entries = 0;
    BareWalk(tree, entries);
    int row = -1;
    for (int run = 0; run < 3; ++run) {
        std::uint64_t counted = 0;
        double start = Now();
        BareWalk(tree, counted);
        double bare = Now() - start;
        page.Fill(parentList);
        page.Refresh();
        row = RowOf(list, name);
        start = Now();
        Cell(list, row, 1);
        // Until the numbers are there: the cells say "…" while the walk runs.
        while ((Cell(list, row, 3).empty() ||
                Cell(list, row, 3) == rb::DetailsPage::kWalkRunningText) &&
               Now() - start < 120) {
            Pump();
            Sleep(1);
        }
        double page3 = Now() - start;
        std::printf("tree of %llu entries: bare walk %7.1f ms, the walk that keeps every folder's "
                    "numbers %7.1f ms, ratio %.3f (target 1.10; %ls files)\n",
                    static_cast<unsigned long long>(entries), bare * 1e3, page3 * 1e3, page3 / bare,
                    Cell(list, row, 3).c_str());
    }

    // Opening the walked tree, then one of its folders: every value at once, no listing.
    auto open = [&](const std::wstring& folder, const char* what) {
        LPITEMIDLIST list2 = Parse(folder);
        const std::uint64_t listings = rb::FolderListingCount();
        double start = Now();
        page.Fill(list2);
        int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)), known = 0;
        for (int r = 0; r < rows; ++r)
            known += Cell(list, r, 3) != rb::DetailsPage::kWalkRunningText ? 1 : 0;
        double took = Now() - start;
        std::printf("  opening %-20s %7.1f ms, %d of %d rows with their values, %llu folders listed "
                    "(target 50 ms, none)\n",
                    what, took * 1e3, known, rows,
                    static_cast<unsigned long long>(rb::FolderListingCount() - listings));
        CoTaskMemFree(list2);
    };
    open(tree, "the tree");
    open(tree + L"\\g000", "one of its folders");

    // One change five levels down while the tree's top is shown: the shell's notice (as
    // Windows' shell sends it for any program's change), then until g000's file count moved.
    {
        LPITEMIDLIST top = Parse(tree);
        page.Fill(top);
        int g = RowOf(list, L"g000");
        Cell(list, g, 3);
        Pump();
        const std::wstring before = Cell(list, g, 3);
        const std::uint64_t listings = rb::FolderListingCount();
        const std::wstring file = deep + L"\\neu.txt";
        HANDLE created = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(created);
        double start = Now();
        SHChangeNotify(SHCNE_CREATE, SHCNF_PATHW, file.c_str(), nullptr);
        while (Cell(list, g, 3) == before && Now() - start < 30) {
            Pump();
            Sleep(1);
        }
        std::printf("  one file added five levels down: g000's files %ls -> %ls after %7.1f ms "
                    "(of it %u ms gathering), %llu folders listed again (target: a few)\n",
                    before.c_str(), Cell(list, g, 3).c_str(), (Now() - start) * 1e3,
                    rb::DetailsPage::kChangeMilliseconds,
                    static_cast<unsigned long long>(rb::FolderListingCount() - listings));
        DeleteFileW(file.c_str());
        CoTaskMemFree(top);
    }

    for (const wchar_t* level : {L"\\g000\\d00000\\tief1\\tief2\\tief3", L"\\g000\\d00000\\tief1\\tief2",
                                 L"\\g000\\d00000\\tief1"})
        RemoveDirectoryW((tree + level).c_str());

    // 4. The tree walked whole by the page, saved as the page closes, then a new page opens
    // it: the time to the first row's values (the saved ones) against the walk's.
    {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        const std::wstring shelf = std::wstring(temp) + L"rb-bench-shelf";
        CreateDirectoryW(shelf.c_str(), nullptr);
        rb::SetShelfFolder(shelf);
        rb::ClearShelf();
        LPITEMIDLIST top = Parse(tree);
        double walk = 0;
        {
            rb::DetailsPage walker;
            walker.Create(nullptr);
            HWND rows = GetDlgItem(walker.Window(), IDC_LIST);
            const double start = Now();
            walker.Fill(top);
            while (!AllKnown(rows) && Now() - start < 120) {
                Pump();
                Sleep(1);
            }
            walk = Now() - start;
            const double closing = Now();
            walker.OnClosing();
            const double handed = Now();
            while (rb::DetailsPage::SavesPending() && Now() - handed < 120)
                Sleep(1);
            std::uint64_t bytes = 0;
            for (const rb::ShelfEntry& entry : rb::ListShelf())
                bytes += entry.bytes;
            std::printf("saved tree: the page's walk of the tree %7.1f ms; closing saved it in %7.1f ms "
                        "on the window's thread, %7.1f ms beside it, %llu bytes\n",
                        walk * 1e3, (handed - closing) * 1e3, (Now() - handed) * 1e3,
                        static_cast<unsigned long long>(bytes));
            DestroyWindow(walker.Window());
        }
        for (int run = 0; run < 3; ++run) {
            rb::DetailsPage opened;
            opened.Create(nullptr);
            HWND rows = GetDlgItem(opened.Window(), IDC_LIST);
            const double start = Now();
            opened.Fill(top);
            while (!AnyValue(rows) && Now() - start < 120) {
                Pump();
                Sleep(1);
            }
            const double first = Now() - start;
            while (!AllKnown(rows) && Now() - start < 120) {
                Pump();
                Sleep(1);
            }
            const double checked = Now() - start;
            std::printf("  opened again: first values %7.1f ms, %.3f of the walk (target 0.1); all "
                        "checked by a walk %7.1f ms\n",
                        first * 1e3, first / walk, checked * 1e3);
            opened.OnClosing(); // saves it again, as the next opening finds it
            while (rb::DetailsPage::SavesPending())
                Sleep(1);
            DestroyWindow(opened.Window());
        }
        rb::ClearShelf();
        rb::SetShelfFolder(L"");
        RemoveDirectoryW(shelf.c_str());
        CoTaskMemFree(top);
    }
    CoTaskMemFree(parentList);
    DestroyWindow(page.Window());
    OleUninitialize();
    return 0;
}
