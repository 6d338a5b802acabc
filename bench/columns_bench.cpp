// Column request costs under Wine. Prints figures; not a test.
//   columns_bench.exe TREE-FULL TREE-HALF SAMPLE-FILE SAMPLE-IMAGE TWO-LINK-LOOP
// The folder columns are compared with a bare walk over the same tree in the same process
// (the baseline) that lists with the call the product lists with in this build: through
// a folder handle where the system has GetFileInformationByHandleEx, else FindFirstFileExW
// (columns_bench_xp, built for the paths of XP). Every figure is the median of several
// runs. Kept walk results are dropped before each run, so every run walks.
#include <windows.h>
#include <shlobj.h>

#include "columns/folder_walk.h"
#include "common/newer_api.h"
#include "com/guids.h"
#include "module/handler.h"

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        double start = Now();
        work();
        times.push_back(Now() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

bool IsDotName(const wchar_t* n, std::size_t length) {
    return (length == 1 && n[0] == L'.') || (length == 2 && n[0] == L'.' && n[1] == L'.');
}

// The baselines: the plainest recursive listing with the product's call.
std::uint64_t BareHandleWalk(const std::wstring& folder, std::uint64_t& entries) {
    HANDLE handle = CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return 0;
    static std::vector<LONGLONG> buffer(64 * 1024 / sizeof(LONGLONG));
    std::vector<std::wstring> folders;
    std::uint64_t total = 0;
    while (rb::Newer().getFileInformationByHandleEx(handle, FileIdBothDirectoryInfo, buffer.data(),
                                                     64 * 1024)) {
        const BYTE* at = reinterpret_cast<const BYTE*>(buffer.data());
        for (;;) {
            auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
            std::size_t length = info->FileNameLength / sizeof(wchar_t);
            if (!IsDotName(info->FileName, length)) {
                ++entries;
                if (info->FileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    folders.emplace_back(info->FileName, length);
                total += static_cast<std::uint64_t>(info->EndOfFile.QuadPart);
            }
            if (!info->NextEntryOffset)
                break;
            at += info->NextEntryOffset;
        }
    }
    CloseHandle(handle);
    for (const std::wstring& name : folders)
        total += BareHandleWalk(folder + L"\\" + name, entries);
    return total;
}

std::uint64_t BareFindWalk(const std::wstring& folder, std::uint64_t& entries) {
    WIN32_FIND_DATAW data;
    // The level the system takes: XP refuses the basic one.
    const bool basic = rb::Newer().findFirstFileEx == &FindFirstFileExW;
    HANDLE find = FindFirstFileExW((folder + L"\\*").c_str(),
                                   basic ? FindExInfoBasic : FindExInfoStandard, &data,
                                   FindExSearchNameMatch, nullptr,
                                   basic ? FIND_FIRST_EX_LARGE_FETCH : 0);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    std::uint64_t total = 0;
    do {
        const wchar_t* n = data.cFileName;
        bool dot = n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0));
        if (dot)
            continue;
        ++entries;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            total += BareFindWalk(folder + L"\\" + n, entries);
        total += (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return total;
}

std::uint64_t BareWalk(const std::wstring& folder, std::uint64_t& entries) {
    return rb::Newer().getFileInformationByHandleEx ? BareHandleWalk(folder, entries)
                                                    : BareFindWalk(folder, entries);
}

const char* ListingName() {
    if (rb::Newer().getFileInformationByHandleEx)
        return "GetFileInformationByHandleEx walk";
    return rb::Newer().findFirstFileEx == &FindFirstFileExW ? "FindFirstFileExW walk (basic)"
                                       : "FindFirstFileExW walk (XP level)";
}

std::wstring Request(IColumnProvider* provider, DWORD pid, const std::wstring& path,
                     DWORD attributes, const wchar_t* extension) {
    SHCOLUMNID column = {rb::kClsidRubrikatorHandler, pid};
    SHCOLUMNDATA item = {};
    item.dwFileAttributes = attributes;
    item.pwszExt = const_cast<wchar_t*>(extension);
    lstrcpynW(item.wszFile, path.c_str(), MAX_PATH);
    VARIANT result;
    VariantInit(&result);
    provider->GetItemData(&column, &item, &result);
    std::wstring text = result.vt == VT_BSTR ? result.bstrVal : L"";
    VariantClear(&result);
    return text;
}

void FolderFigures(IColumnProvider* provider, const std::wstring& tree) {
    std::uint64_t entries = 0;
    BareWalk(tree, entries);
    const int runs = 5;
    double bare = Median(runs, [&] {
        std::uint64_t n = 0;
        BareWalk(tree, n);
    });
    double size = Median(runs, [&] {
        rb::ForgetFolderStatistics();
        Request(provider, 0, tree, FILE_ATTRIBUTE_DIRECTORY, nullptr);
    });
    double all = Median(runs, [&] {
        rb::ForgetFolderStatistics();
        for (DWORD pid = 0; pid < 3; ++pid)
            Request(provider, pid, tree, FILE_ATTRIBUTE_DIRECTORY, nullptr);
    });
    std::printf("tree with %llu entries (%ls)\n", static_cast<unsigned long long>(entries),
                Request(provider, 2, tree, FILE_ATTRIBUTE_DIRECTORY, nullptr).c_str());
    std::printf("  bare %-33s %9.1f ms  (%.2f us per entry)\n", ListingName(), bare * 1e3,
                bare * 1e6 / static_cast<double>(entries));
    std::printf("  FolderSize request                     %9.1f ms  ratio %.3f  (%.2f us per entry)\n",
                size * 1e3, size / bare, size * 1e6 / static_cast<double>(entries));
    std::printf("  FolderSize+FolderCount+FileCount       %9.1f ms  ratio %.3f to one bare walk\n",
                all * 1e3, all / bare);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 6) {
        std::printf("usage: columns_bench.exe TREE-FULL TREE-HALF FILE IMAGE TWO-LINK-LOOP\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IColumnProvider* provider = nullptr;
    rb::RubrikatorHandler::Create(nullptr, rb::kIidIColumnProvider,
                                  reinterpret_cast<void**>(&provider));
    if (!provider)
        return 1;
    std::printf("Rubrikator column benchmark (%d-bit, Wine, %s)\n",
                static_cast<int>(sizeof(void*) * 8),
                rb::Newer().getFileInformationByHandleEx ? "listing by folder handle"
                                                         : "the listing of XP and Server 2003");
    FolderFigures(provider, argv[2]);
    FolderFigures(provider, argv[1]);
    {
        rb::ForgetFolderStatistics();
        double start = Now();
        std::wstring files = Request(provider, 2, argv[5], FILE_ATTRIBUTE_DIRECTORY, nullptr);
        std::printf("two-link loop (a folder holding two links to itself): %.2f ms, files %ls\n",
                    (Now() - start) * 1e3, files.c_str());
    }

    std::wstring file = argv[3];
    std::wstring image = argv[4];
    std::printf("one request on a file (median of 201), microseconds:\n");
    for (DWORD pid = 3; pid < 12; ++pid) {
        const std::wstring& path = pid <= 5 ? image : file;
        const wchar_t* extension = pid <= 5 ? L".bmp" : L".txt";
        double t =
            Median(201, [&] { Request(provider, pid, path, FILE_ATTRIBUTE_ARCHIVE, extension); });
        std::printf("  column %2lu %-24ls %9.1f us\n", pid,
                    Request(provider, pid, path, FILE_ATTRIBUTE_ARCHIVE, extension).c_str(),
                    t * 1e6);
    }
    provider->Release();
    CoUninitialize();
    return 0;
}
