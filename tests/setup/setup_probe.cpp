// Creates the column handler by its CLSID, as Explorer does, and prints the first
// column's title and the file of the module that answered. Exit code 0 when it worked.
// With "--version FILE" it prints the file version and product name of FILE instead.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <vector>

namespace {

const CLSID kHandler = {0x7C3A51E0, 0x2B94, 0x4F1D, {0x9E, 0x6B, 0x5A, 0x0C, 0x8D, 0x2F, 0x4B, 0x17}};
const IID kColumnProvider = {0xE8025004, 0x1C42, 0x11D2, {0xBE, 0x2C, 0x00, 0xA0, 0xC9, 0xA8, 0x3D, 0xA1}};

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
    std::printf("%lu.%lu.%lu.%lu %ls\n", fixed->dwFileVersionMS >> 16, fixed->dwFileVersionMS & 0xFFFF,
                fixed->dwFileVersionLS >> 16, fixed->dwFileVersionLS & 0xFFFF, product);
    return 0;
}

} // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc == 3 && lstrcmpW(argv[1], L"--version") == 0) return PrintVersion(argv[2]);
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
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCWSTR>(*reinterpret_cast<void**>(provider)), &owner);
    wchar_t loaded[MAX_PATH] = {}, module[MAX_PATH] = {};
    GetModuleFileNameW(owner, loaded, MAX_PATH);
    if (!GetLongPathNameW(loaded, module, MAX_PATH)) lstrcpynW(module, loaded, MAX_PATH);
    char title[MAX_COLUMN_NAME_LEN * 3] = "?", file[MAX_PATH * 3] = {};
    if (hr == S_OK) WideCharToMultiByte(CP_UTF8, 0, info.wszTitle, -1, title, sizeof title, nullptr, nullptr);
    WideCharToMultiByte(CP_UTF8, 0, module, -1, file, sizeof file, nullptr, nullptr);
    std::printf("%d-bit: %s from %s\n", static_cast<int>(sizeof(void*) * 8), title, file);
    provider->Release();
    CoUninitialize();
    return hr == S_OK ? 0 : 1;
}
