// Creates the column handler by its CLSID, as Explorer does, and prints the first
// column's title and the file of the module that answered. Exit code 0 when it worked.
// With "--version FILE" it prints the file version and product name of FILE instead.
// With "--dialog-text BUTTONS COMMAND-LINE" it starts the program and, for each of the
// comma-separated BUTTONS (command ids: 1 OK or Next, 2 Cancel, 6 Yes), waits for the next
// new dialog window of the program, prints the texts of its static controls (UTF-8, one a
// line) and presses that button; then it prints the program's exit code ("exit killed"
// when it had to be ended).
// With "--hold FILE COMMAND-LINE" it holds FILE open as a loaded DLL is held (others may
// read it, nobody may write or delete it) while it runs the command line, and prints its
// exit code.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <vector>

namespace {

const CLSID kHandler = {
    0x7C3A51E0, 0x2B94, 0x4F1D, {0x9E, 0x6B, 0x5A, 0x0C, 0x8D, 0x2F, 0x4B, 0x17}};
const IID kColumnProvider = {
    0xE8025004, 0x1C42, 0x11D2, {0xBE, 0x2C, 0x00, 0xA0, 0xC9, 0xA8, 0x3D, 0xA1}};

int PrintVersion(const wchar_t* file) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(file, &ignored);
    if (!size) {
        std::printf("no version information\n");
        return 1;
    }
    std::vector<char> data(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    wchar_t* product = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoW(file, 0, size, data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed) {
        std::printf("no fixed version\n");
        return 1;
    }
    if (!VerQueryValueW(data.data(), L"\\StringFileInfo\\040704b0\\ProductName",
                        reinterpret_cast<void**>(&product), &length))
        product = const_cast<wchar_t*>(L"?");
    std::printf("%lu.%lu.%lu.%lu %ls\n", fixed->dwFileVersionMS >> 16,
                fixed->dwFileVersionMS & 0xFFFF, fixed->dwFileVersionLS >> 16,
                fixed->dwFileVersionLS & 0xFFFF, product);
    return 0;
}

struct Search {
    DWORD process;
    const std::vector<HWND>* handled;
    HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    for (HWND seen : *search->handled)
        if (seen == window)
            return TRUE;
    if (process == search->process && IsWindowVisible(window) && lstrcmpA(name, "#32770") == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK PrintStatic(HWND control, LPARAM) {
    char name[16] = {};
    GetClassNameA(control, name, sizeof name);
    wchar_t text[2048] = {};
    if (lstrcmpiA(name, "Static") == 0 && IsWindowVisible(control) &&
        GetWindowTextW(control, text, 2048) > 0) {
        char utf8[6144] = {};
        WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
        std::printf("%s\n", utf8);
    }
    return TRUE;
}

int DialogText(const std::vector<int>& buttons, const wchar_t* commandLine) {
    std::vector<wchar_t> line(commandLine, commandLine + lstrlenW(commandLine) + 1);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::printf("not started\n");
        return 1;
    }
    std::vector<HWND> handled;
    for (int button : buttons) {
        Search search = {process.dwProcessId, &handled, nullptr};
        for (int i = 0; i < 600 && !search.found; ++i) {
            if (WaitForSingleObject(process.hProcess, 100) == WAIT_OBJECT_0)
                break;
            EnumWindows(&FindDialog, reinterpret_cast<LPARAM>(&search));
        }
        if (!search.found) {
            std::printf("no dialog\n");
            break;
        }
        Sleep(300); // the page inside the window is filled right after it shows
        EnumChildWindows(search.found, &PrintStatic, 0);
        handled.push_back(search.found);
        PostMessageW(search.found, WM_COMMAND, static_cast<WPARAM>(button), 0);
    }
    DWORD code = 259;
    if (WaitForSingleObject(process.hProcess, 10000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
        std::printf("exit %lu\n", static_cast<unsigned long>(code));
    } else {
        TerminateProcess(process.hProcess, 1);
        std::printf("exit killed\n");
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

} // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc >= 4 && lstrcmpW(argv[1], L"--hold") == 0) {
        HANDLE held = CreateFileW(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  0, nullptr);
        const wchar_t* rest = wcsstr(GetCommandLineW(), argv[3]);
        if (rest && rest > GetCommandLineW() && rest[-1] == L'"')
            --rest;
        std::vector<wchar_t> command(rest, rest + lstrlenW(rest) + 1);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        DWORD code = 259;
        if (held != INVALID_HANDLE_VALUE &&
            CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &process)) {
            WaitForSingleObject(process.hProcess, 120000);
            GetExitCodeProcess(process.hProcess, &code);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        std::printf("exit %lu\n", static_cast<unsigned long>(code));
        return 0;
    }
    if (argc == 3 && lstrcmpW(argv[1], L"--version") == 0)
        return PrintVersion(argv[2]);
    if (argc >= 4 && lstrcmpW(argv[1], L"--dialog-text") == 0) {
        // The rest of the command line as it was given, after the button.
        const wchar_t* rest = wcsstr(GetCommandLineW(), argv[3]);
        if (rest && rest > GetCommandLineW() && rest[-1] == L'"')
            --rest;
        std::vector<int> buttons;
        for (const wchar_t* at = argv[2]; *at;) {
            buttons.push_back(_wtoi(at));
            while (*at && *at != L',')
                ++at;
            if (*at)
                ++at;
        }
        return DialogText(buttons, rest ? rest : argv[3]);
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IColumnProvider* provider = nullptr;
    HRESULT hr = CoCreateInstance(kHandler, nullptr, CLSCTX_INPROC_SERVER, kColumnProvider,
                                  reinterpret_cast<void**>(&provider));
    if (FAILED(hr) || !provider) {
        std::printf("not created: 0x%08lx\n", static_cast<unsigned long>(hr));
        return 1;
    }
    SHCOLUMNINFO info = {};
    hr = provider->GetColumnInfo(0, &info);
    // The module that holds the object's code; COM may have loaded it by its short name.
    HMODULE owner = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCWSTR>(*reinterpret_cast<void**>(provider)), &owner);
    wchar_t loaded[MAX_PATH] = {}, module[MAX_PATH] = {};
    GetModuleFileNameW(owner, loaded, MAX_PATH);
    if (!GetLongPathNameW(loaded, module, MAX_PATH))
        lstrcpynW(module, loaded, MAX_PATH);
    char title[MAX_COLUMN_NAME_LEN * 3] = "?", file[MAX_PATH * 3] = {};
    if (hr == S_OK)
        WideCharToMultiByte(CP_UTF8, 0, info.wszTitle, -1, title, sizeof title, nullptr, nullptr);
    WideCharToMultiByte(CP_UTF8, 0, module, -1, file, sizeof file, nullptr, nullptr);
    std::printf("%d-bit: %s from %s\n", static_cast<int>(sizeof(void*) * 8), title, file);
    provider->Release();
    CoUninitialize();
    return hr == S_OK ? 0 : 1;
}
