// Export costs under Wine, against a real list-view control. Prints figures; not a test.
//   export_bench.exe ROWS FORMAT(txt|csv|html|xls) FOLDER
// Baseline: reading every exported cell once plus writing as many bytes as the format's
// file has. One format per process, so that the peak memory is that format's own. Both
// are the median of five runs; the time a message box stands on screen (the XLS row
// limit) is not the export's and is left out.
#include <windows.h>
#include <psapi.h>

#include "common/shell_open.h"
#include "common/win_text.h"
#include "export/formats.h"
#include "export/list_exporter.h"
#include "fake_explorer.h"
#include "thread.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>
#include <cstdio>
#include <string>
#include <vector>

// The export's own memory: every C++ allocation of this program is counted (the list
// view's memory is the system's and not among them).
namespace {
std::atomic<long long> liveBytes{0};
std::atomic<long long> peakBytes{0};
} // namespace

__attribute__((noinline)) void* operator new(std::size_t size) {
    auto* block = static_cast<std::size_t*>(std::malloc(size + sizeof(std::max_align_t)));
    if (!block)
        throw std::bad_alloc();
    *block = size;
    long long now = liveBytes += static_cast<long long>(size);
    long long peak = peakBytes;
    while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
    }
    return reinterpret_cast<char*>(block) + sizeof(std::max_align_t);
}

// Not inlined: the compiler would otherwise check the header arithmetic against the
// size of whatever object it sees deleted, and warn.
__attribute__((noinline)) void operator delete(void* p) noexcept {
    if (!p)
        return;
    auto* block = reinterpret_cast<std::size_t*>(static_cast<char*>(p) - sizeof(std::max_align_t));
    liveBytes -= static_cast<long long>(*block);
    std::free(block);
}

void operator delete(void* p, std::size_t) noexcept {
    operator delete(p);
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete[](void* p) noexcept {
    operator delete(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    operator delete(p);
}

namespace {

double Now() {
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

long long FileBytes(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

BOOL CALLBACK CloseMessageBox(HWND window, LPARAM) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char cls[16] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (process == GetCurrentProcessId() && std::string(cls) == "#32770" && IsWindowVisible(window))
        PostMessageA(window, WM_COMMAND, IDOK, 0);
    return TRUE;
}

// The seconds message boxes of this thread stood on screen.
double boxSeconds = 0;
double boxShown = 0;

LRESULT CALLBACK WatchBoxes(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND || code == HCBT_DESTROYWND) {
        char cls[16] = {};
        GetClassNameA(reinterpret_cast<HWND>(wParam), cls, sizeof cls);
        if (std::string(cls) == "#32770") {
            if (code == HCBT_CREATEWND)
                boxShown = Now();
            else
                boxSeconds += Now() - boxShown;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::printf("usage: export_bench.exe ROWS txt|csv|html|xls FOLDER\n");
        return 2;
    }
    const int rows = std::atoi(argv[1]);
    const std::string format = argv[2];
    const std::string folder = argv[3];
    rb::SetShellOpenFunction([](HWND, const std::wstring&, int) { return true; });

    rbtest::FakeExplorer explorer;
    std::vector<rbtest::FakeColumn> columns;
    for (int c = 0; c < 12; ++c)
        columns.push_back({c ? "Spalte " + std::to_string(c) : "Name", 80});
    explorer.SetColumns(columns);
    // Filled in blocks, so that the fixture's own memory does not set the peak.
    for (int first = 0; first < rows; first += 1000) {
        std::vector<std::vector<std::string>> block;
        for (int r = first; r < rows && r < first + 1000; ++r) {
            std::vector<std::string> row;
            row.push_back("Datei_" + std::to_string(r) + ".txt");
            for (int c = 1; c < 12; ++c)
                row.push_back(std::to_string((r * 7919 + c * 104729) % 1000000) + " KB");
            block.push_back(row);
        }
        explorer.AddRows(block);
    }
    PROCESS_MEMORY_COUNTERS before = {};
    GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);

    // Message boxes (the XLS row limit) are answered at once.
    std::atomic<bool> done{false};
    rbtest::Thread closer([&done] {
        while (!done) {
            EnumWindows(&CloseMessageBox, 0);
            Sleep(1);
        }
    });
    HHOOK hook = SetWindowsHookExA(WH_CBT, &WatchBoxes, nullptr, GetCurrentThreadId());

    const std::string path = folder + "\\bench-export." + format;
    std::vector<double> exportTimes, baselineTimes;
    long long bytes = 0;
    long long heapPeak = 0;
    for (int run = 0; run < 5; ++run) {
        const long long heapAtStart = liveBytes;
        peakBytes = heapAtStart;
        rb::ListExporter exporter(explorer.List());
        boxSeconds = 0;
        double start = Now();
        if (format == "txt" || format == "csv") {
            exporter.WriteTextFile(rb::AnsiToWide(path),
                                   format == "txt" ? rb::TextFormat::Txt : rb::TextFormat::Csv);
        } else if (format == "html") {
            exporter.WriteHtmlFile(rb::AnsiToWide(path));
        } else {
            exporter.WriteXlsFile(rb::AnsiToWide(path));
        }
        exportTimes.push_back(Now() - start - boxSeconds);
        heapPeak = std::max(heapPeak, peakBytes - heapAtStart);
        bytes = FileBytes(path);

        // Baseline: every exported cell read once, then as many bytes written.
        start = Now();
        rb::ListViewSource source(explorer.List());
        rb::ExportedColumns chosen = rb::ChooseExportedColumns(source);
        size_t read = 0;
        int items = source.GetItemCount();
        if (format == "xls" && items > rb::kXlsMaxRows - 1)
            items = rb::kXlsMaxRows - 1; // the rows the XLS export reads
        for (int item = 0; item < items; ++item)
            for (int column : chosen.indices)
                read += source.GetItemText(item, column).size();
        std::string block(static_cast<size_t>(bytes > 0 ? bytes : 0), 'x');
        const std::string basePath = folder + "\\bench-baseline.bin";
        if (FILE* file = std::fopen(basePath.c_str(), "wb")) {
            std::fwrite(block.data(), 1, block.size(), file);
            std::fclose(file);
        }
        baselineTimes.push_back(Now() - start);
        DeleteFileA(basePath.c_str());
        (void)read;
    }
    UnhookWindowsHookEx(hook);
    done = true;
    closer.Join();
    DeleteFileA(path.c_str());
    std::sort(exportTimes.begin(), exportTimes.end());
    std::sort(baselineTimes.begin(), baselineTimes.end());
    const double exportTime = exportTimes[exportTimes.size() / 2];
    const double baseline = baselineTimes[baselineTimes.size() / 2];

    std::printf("%6d rows x 12  %-4s  export %7.1f ms  baseline %7.1f ms  ratio %5.2f  "
                "file %6.2f MB  export heap peak %6.1f MB  (process with list %6.1f MB)\n",
                rows, format.c_str(), exportTime * 1e3, baseline * 1e3, exportTime / baseline,
                static_cast<double>(bytes) / 1048576.0, static_cast<double>(heapPeak) / 1048576.0,
                static_cast<double>(before.PagefileUsage) / 1048576.0);
    return 0;
}
