// Column request costs under Wine. Prints figures; not a test.
//   columns_bench.exe TREE-FULL TREE-HALF SAMPLE-FILE SAMPLE-IMAGE TWO-LINK-LOOP
// The folder columns are compared with a bare FindFirstFileExW walk over the same tree
// in the same process (the baseline); every figure is the median of several runs. Kept
// walk results are dropped before each run, so every run walks.
#include <windows.h>
#include <shlobj.h>

#include "columns/folder_walk.h"
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

// The baseline: the plainest recursive listing with the same call.
std::uint64_t BareWalk(const std::wstring& folder, std::uint64_t& entries) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
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
            total += BareWalk(folder + L"\\" + n, entries);
        total += (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return total;
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
    std::printf("  bare FindFirstFileExW walk      %9.1f ms  (%.2f us per entry)\n", bare * 1e3,
                bare * 1e6 / static_cast<double>(entries));
    std::printf("  FolderSize request              %9.1f ms  ratio %.3f  (%.2f us per entry)\n",
                size * 1e3, size / bare, size * 1e6 / static_cast<double>(entries));
    std::printf("  FolderSize+FolderCount+FileCount %8.1f ms  ratio %.3f to one bare walk\n",
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
    std::printf("Rubrikator column benchmark (%d-bit, Wine)\n",
                static_cast<int>(sizeof(void*) * 8));
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
