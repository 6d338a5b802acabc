// Loading and unloading the module as Explorer does with an idle extension, many times in
// one process. Prints figures; not a test.
//   lifetime_bench.exe CYCLES FOLDER IMAGE
// Each cycle: load Rubrikator.dll, create a handler through its factory, one request of
// every column, release, DllCanUnloadNow, FreeLibrary.
#include <windows.h>
#include <shlobj.h>

#include "com/guids.h"
#include "process_counts.h"
#include "product_dll.h"

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::wstring ModulePath() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir = path;
    return dir.substr(0, dir.find_last_of(L'\\')) + L"\\Rubrikator.dll";
}

bool Cycle(const std::wstring& dll, const std::wstring& folder, const std::wstring& image) {
    bool answered = false, unloadable = false;
    {
        rbtest::ProductDll module(dll);
        IColumnProvider* provider = nullptr;
        if (SUCCEEDED(module.Create(rb::kClsidRubrikatorHandler, rb::kIidIColumnProvider,
                                    reinterpret_cast<void**>(&provider)))) {
            rbtest::AskEveryColumn(provider, folder, image);
            provider->Release();
            answered = true;
        }
        unloadable = module.CanUnloadNow() == S_OK;
    }
    return answered && unloadable && !GetModuleHandleW(L"Rubrikator.dll");
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::printf("usage: lifetime_bench.exe CYCLES FOLDER IMAGE\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int cycles = _wtoi(argv[1]);
    const std::wstring dll = ModulePath();
    std::printf("Load/unload cycles of Rubrikator.dll (%d-bit, Wine)\n",
                static_cast<int>(sizeof(void*) * 8));
    std::printf("  %8s %9s %10s %14s %10s\n", "cycles", "handles", "TLS free", "private KiB",
                "ms/cycle");
    // The first cycle loads what the module imports and GDI+ for good.
    Cycle(dll, argv[2], argv[3]);
    auto print = [](int done, double msPerCycle) {
        std::printf("  %8d %9d %10d %14zu %10.2f\n", done, rbtest::OpenHandleCount(),
                    rbtest::FreeTlsSlots(), rbtest::CommittedPrivateBytes() / 1024, msPerCycle);
    };
    print(0, 0.0);
    const int step = cycles >= 10 ? cycles / 10 : 1;
    int failed = 0;
    for (int done = 0; done < cycles;) {
        DWORD start = GetTickCount();
        int batch = done + step <= cycles ? step : cycles - done;
        for (int i = 0; i < batch; ++i)
            if (!Cycle(dll, argv[2], argv[3]))
                ++failed;
        done += batch;
        print(done, static_cast<double>(GetTickCount() - start) / batch);
    }
    if (failed)
        std::printf("  %d cycles did not create, answer or unload\n", failed);
    CoUninitialize();
    return 0;
}
