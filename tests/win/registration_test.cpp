// Registration and unregistration against the prefix's registry, through the exports
// and through Wine's regsvr32.
#include <gtest/gtest.h>

#include "com/guids.h"
#include "module/registration.h"
#include "product_dll.h"
#include "support.h"

#include <shlobj.h>
#include <algorithm>
#include <map>
#include <set>
#include <vector>

namespace {

using rbtest::ProductDll;

const wchar_t kHandler[] = L"{7C3A51E0-2B94-4F1D-9E6B-5A0C8D2F4B17}";
const wchar_t kBand[] = L"{B81F6D42-93C5-4A7E-8D20-6E4F1C9A3B55}";
const wchar_t kApproved[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

bool KeyExists(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Every value below `path` as "subkey|name=data" (REG_SZ only; others are marked),
// and every key as "subkey|".
void Dump(HKEY root, const std::wstring& path, const std::wstring& prefix,
          std::set<std::wstring>& lines) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    lines.insert(prefix + L"|");
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        BYTE data[2048];
        DWORD nameLength = 256, dataLength = sizeof data, type = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &dataLength) !=
            ERROR_SUCCESS)
            break;
        std::wstring text = type == REG_SZ ? std::wstring(reinterpret_cast<wchar_t*>(data))
                                           : L"<type " + std::to_wstring(type) + L">";
        lines.insert(prefix + L"|" + (nameLength ? name : L"@") + L"=" + text);
    }
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        subkeys.push_back(name);
    }
    RegCloseKey(key);
    for (const std::wstring& sub : subkeys)
        Dump(root, path + L"\\" + sub, prefix + L"\\" + sub, lines);
}

std::set<std::wstring> Dump(const std::wstring& path) {
    std::set<std::wstring> lines;
    Dump(HKEY_CLASSES_ROOT, path, path, lines);
    return lines;
}

// Everything the product registers under HKEY_CLASSES_ROOT.
std::set<std::wstring> ProductState() {
    std::set<std::wstring> all;
    for (const std::wstring& path :
         {std::wstring(L"Rubrikator.RubrikatorHandle.1"),
          std::wstring(L"Rubrikator.RubrikatorHandle"), std::wstring(L"Rubrikator.Querbalken.1"),
          std::wstring(L"Rubrikator.Querbalken"), L"CLSID\\" + std::wstring(kHandler),
          L"CLSID\\" + std::wstring(kBand),
          L"Folder\\shellex\\ColumnHandlers\\" + std::wstring(kHandler),
          L"*\\shellex\\PropertySheetHandlers\\" + std::wstring(kHandler),
          std::wstring(L"*\\shellex\\ContextMenuHandlers\\Rubrikator"),
          std::wstring(L"Directory\\Background\\ShellEx\\ContextMenuHandlers\\Rubrikator"),
          std::wstring(L"Directory\\ShellEx\\ContextMenuHandlers\\Rubrikator")}) {
        std::set<std::wstring> lines = Dump(path);
        all.insert(lines.begin(), lines.end());
    }
    return all;
}

std::wstring ShortPath(const std::wstring& path) {
    wchar_t buffer[MAX_PATH];
    DWORD length = GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
    return length ? std::wstring(buffer, length) : path;
}

std::set<std::wstring> ExpectedState(const std::wstring& module) {
    std::wstring h = kHandler, b = kBand;
    std::wstring ch = L"CLSID\\" + h, cb = L"CLSID\\" + b;
    return {
        L"Rubrikator.RubrikatorHandle.1|",
        L"Rubrikator.RubrikatorHandle.1|@=RubrikatorHandle-Klasse",
        L"Rubrikator.RubrikatorHandle.1\\CLSID|",
        L"Rubrikator.RubrikatorHandle.1\\CLSID|@=" + h,
        L"Rubrikator.RubrikatorHandle|",
        L"Rubrikator.RubrikatorHandle|@=RubrikatorHandle-Klasse",
        L"Rubrikator.RubrikatorHandle\\CLSID|",
        L"Rubrikator.RubrikatorHandle\\CLSID|@=" + h,
        ch + L"|",
        ch + L"|@=RubrikatorHandle-Klasse",
        ch + L"\\ProgID|",
        ch + L"\\ProgID|@=Rubrikator.RubrikatorHandle.1",
        ch + L"\\VersionIndependentProgID|",
        ch + L"\\VersionIndependentProgID|@=Rubrikator.RubrikatorHandle",
        ch + L"\\InprocServer32|",
        ch + L"\\InprocServer32|@=" + module,
        ch + L"\\InprocServer32|ThreadingModel=both",
        L"Folder\\shellex\\ColumnHandlers\\" + h + L"|",
        L"*\\shellex\\PropertySheetHandlers\\" + h + L"|",
        L"*\\shellex\\ContextMenuHandlers\\Rubrikator|",
        L"*\\shellex\\ContextMenuHandlers\\Rubrikator|@=" + h,
        L"Directory\\Background\\ShellEx\\ContextMenuHandlers\\Rubrikator|",
        L"Directory\\Background\\ShellEx\\ContextMenuHandlers\\Rubrikator|@=" + h,
        L"Directory\\ShellEx\\ContextMenuHandlers\\Rubrikator|",
        L"Directory\\ShellEx\\ContextMenuHandlers\\Rubrikator|@=" + h,
        L"Rubrikator.Querbalken.1|",
        L"Rubrikator.Querbalken.1|@=Querbalken Class",
        L"Rubrikator.Querbalken.1\\CLSID|",
        L"Rubrikator.Querbalken.1\\CLSID|@=" + b,
        L"Rubrikator.Querbalken|",
        L"Rubrikator.Querbalken|@=Querbalken Class",
        L"Rubrikator.Querbalken\\CLSID|",
        L"Rubrikator.Querbalken\\CLSID|@=" + b,
        L"Rubrikator.Querbalken\\CurVer|",
        L"Rubrikator.Querbalken\\CurVer|@=Rubrikator.Querbalken.1",
        cb + L"|",
        cb + L"|@=Querbalken",
        cb + L"\\ProgID|",
        cb + L"\\ProgID|@=Rubrikator.Querbalken.1",
        cb + L"\\VersionIndependentProgID|",
        cb + L"\\VersionIndependentProgID|@=Rubrikator.Querbalken",
        cb + L"\\Programmable|",
        cb + L"\\InprocServer32|",
        cb + L"\\InprocServer32|@=" + module,
        cb + L"\\InprocServer32|ThreadingModel=Apartment",
        cb + L"\\TypeLib|",
        cb + L"\\TypeLib|@={2E6C9A17-5D3B-4F80-A1C4-97B2E0D8F613}",
        cb + L"\\Implemented Categories|",
        cb + L"\\Implemented Categories\\{00021494-0000-0000-C000-000000000046}|",
    };
}

std::wstring ApprovedValue() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kApproved, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return L"<no key>";
    wchar_t data[256] = {};
    DWORD size = sizeof data, type = 0;
    LONG status =
        RegQueryValueExW(key, kHandler, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return L"<none>";
    return type == REG_SZ ? data : L"<wrong type>";
}

std::wstring Show(const std::set<std::wstring>& lines) {
    std::wstring text;
    for (const std::wstring& line : lines)
        text += line + L"\n";
    return text;
}

int RunProgram(const std::wstring& commandLine) {
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::wstring command = commandLine;
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return static_cast<int>(code);
}

class Registration : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dll.Loaded());
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kApproved, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
        // Shared keys as a real system has them: other handlers live beside ours.
        for (const wchar_t* shared :
             {L"Folder\\shellex\\ColumnHandlers\\{11111111-2222-3333-4444-555555555555}",
              L"*\\shellex\\PropertySheetHandlers\\Other",
              L"*\\shellex\\ContextMenuHandlers\\Other",
              L"Directory\\Background\\ShellEx\\ContextMenuHandlers\\Other",
              L"Directory\\ShellEx\\ContextMenuHandlers\\Other"}) {
            ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, shared, 0, nullptr, 0, KEY_ALL_ACCESS,
                                      nullptr, &key, nullptr),
                      ERROR_SUCCESS);
            RegCloseKey(key);
        }
    }
    void TearDown() override { dll.Unregister(); }

    ProductDll dll{rbtest::ProductDllPath()};
};

TEST_F(Registration, WritesExactlyTheScriptsCategoryAndApproval) {
    ASSERT_EQ(dll.Register(), S_OK);
    std::set<std::wstring> expected = ExpectedState(ShortPath(rbtest::ProductDllPath()));
    std::set<std::wstring> actual = ProductState();
    EXPECT_EQ(actual, expected) << "actual:\n"
                                << rbtest::Narrow(Show(actual)) << "expected:\n"
                                << rbtest::Narrow(Show(expected));
    EXPECT_EQ(ApprovedValue(), L"Rubrikator Shell Extensions");
    // The version-independent ProgID of the handler has no CurVer.
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Rubrikator.RubrikatorHandle\\CurVer"));
    // On the NT family no type library is registered.
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"TypeLib\\{2E6C9A17-5D3B-4F80-A1C4-97B2E0D8F613}"));
}

TEST_F(Registration, TwiceIsTheSameAsOnceAndForceRemoveKeysAreRewritten) {
    ASSERT_EQ(dll.Register(), S_OK);
    std::set<std::wstring> once = ProductState();
    // Strays under the ForceRemove keys vanish; a stray under a plain key stays.
    HKEY key = nullptr;
    for (const std::wstring& stray :
         {L"CLSID\\" + std::wstring(kHandler) + L"\\Stray",
          L"CLSID\\" + std::wstring(kBand) + L"\\Programmable\\Stray",
          std::wstring(L"*\\shellex\\ContextMenuHandlers\\Rubrikator\\Stray"),
          std::wstring(L"Directory\\ShellEx\\ContextMenuHandlers\\Rubrikator\\Stray")}) {
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, stray.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    ASSERT_EQ(dll.Register(), S_OK);
    EXPECT_EQ(ProductState(), once) << rbtest::Narrow(Show(ProductState()));
}

TEST_F(Registration, UnregistrationRemovesOursAndKeepsSharedKeys) {
    ASSERT_EQ(dll.Register(), S_OK);
    ASSERT_EQ(dll.Unregister(), S_OK);
    EXPECT_EQ(ProductState(), std::set<std::wstring>{}) << rbtest::Narrow(Show(ProductState()));
    EXPECT_EQ(ApprovedValue(), L"<none>");
    for (const wchar_t* shared :
         {L"Folder", L"Folder\\shellex", L"Folder\\shellex\\ColumnHandlers",
          L"Folder\\shellex\\ColumnHandlers\\{11111111-2222-3333-4444-555555555555}", L"*",
          L"*\\shellex", L"*\\shellex\\PropertySheetHandlers\\Other",
          L"*\\shellex\\ContextMenuHandlers\\Other", L"Directory", L"Directory\\Background",
          L"Directory\\Background\\ShellEx\\ContextMenuHandlers\\Other", L"Directory\\ShellEx",
          L"Directory\\ShellEx\\ContextMenuHandlers\\Other", L"CLSID"})
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, shared)) << rbtest::Narrow(shared);
    // Unregistering what is not registered succeeds as well.
    EXPECT_EQ(dll.Unregister(), S_OK);
}

TEST_F(Registration, WithoutTheApprovedKeyNothingIsWrittenButUnregistrationRuns) {
    ASSERT_EQ(dll.Register(), S_OK);
    ASSERT_EQ(RegDeleteTreeW(HKEY_LOCAL_MACHINE, kApproved), ERROR_SUCCESS);
    ASSERT_EQ(dll.Unregister(), S_OK);
    EXPECT_EQ(ProductState(), std::set<std::wstring>{});
    EXPECT_EQ(dll.Register(), E_ACCESSDENIED);
    EXPECT_EQ(ProductState(), std::set<std::wstring>{});
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kApproved));
}

TEST_F(Registration, ThroughRegsvr32AndThenCoCreateInstance) {
    std::wstring dllPath = rbtest::ProductDllPath();
    ASSERT_EQ(RunProgram(L"regsvr32.exe /s \"" + dllPath + L"\""), 0);
    EXPECT_EQ(ProductState(), ExpectedState(ShortPath(dllPath)));
    EXPECT_EQ(ApprovedValue(), L"Rubrikator Shell Extensions");

    IColumnProvider* provider = nullptr;
    ASSERT_EQ(CoCreateInstance(rb::kClsidRubrikatorHandler, nullptr, CLSCTX_INPROC_SERVER,
                               rb::kIidIColumnProvider, reinterpret_cast<void**>(&provider)),
              S_OK);
    SHCOLUMNINFO info = {};
    EXPECT_EQ(provider->GetColumnInfo(11, &info), S_OK);
    EXPECT_STREQ(info.wszTitle, L"Zugriffssek. (RB)");
    SHCOLUMNID column = {rb::kClsidRubrikatorHandler, 6};
    SHCOLUMNDATA item = {};
    lstrcpyW(item.wszFile, L"C:\\windows");
    item.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
    VARIANT value;
    VariantInit(&value);
    EXPECT_EQ(provider->GetItemData(&column, &item, &value), S_OK);
    EXPECT_STREQ(value.bstrVal, L"C:\\windows");
    VariantClear(&value);
    provider->Release();
    IUnknown* band = nullptr;
    EXPECT_EQ(CoCreateInstance(rb::kClsidQuerbalkenBand, nullptr, CLSCTX_INPROC_SERVER,
                               rb::kIidIDeskBand, reinterpret_cast<void**>(&band)),
              S_OK);
    if (band)
        band->Release();
    CoFreeUnusedLibraries();

    ASSERT_EQ(RunProgram(L"regsvr32.exe /s /u \"" + dllPath + L"\""), 0);
    EXPECT_EQ(ProductState(), std::set<std::wstring>{});
}

TEST_F(Registration, ModuleInAFolderWithASingleQuote) {
    rbtest::TempDir dir;
    std::wstring folder = dir.MakeDir(L"O'Brien's");
    std::wstring copy = folder + L"\\Rubrikator.dll";
    ASSERT_TRUE(CopyFileW(rbtest::ProductDllPath().c_str(), copy.c_str(), FALSE));
    std::wstring shortPath = ShortPath(copy);
    ASSERT_NE(shortPath.find(L'\''), std::wstring::npos) << rbtest::Narrow(shortPath);
    {
        ProductDll moved(copy);
        ASSERT_TRUE(moved.Loaded());
        ASSERT_EQ(moved.Register(), S_OK);
        EXPECT_EQ(ProductState(), ExpectedState(shortPath));
        EXPECT_EQ(moved.Unregister(), S_OK);
    }
    EXPECT_EQ(rb::ModuleReplacement("C:\\a'b\\it''s.dll"), L"C:\\a''b\\it''''s.dll");
}

// The Windows 9x path, run on this module's own code: the classes and the type library.
TEST_F(Registration, NineXFamilyAlsoRegistersTheTypeLibrary) {
    ASSERT_EQ(rb::RegisterServer(true), S_OK);
    EXPECT_TRUE(
        KeyExists(HKEY_CLASSES_ROOT, L"TypeLib\\{2E6C9A17-5D3B-4F80-A1C4-97B2E0D8F613}\\1.0"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"Interface\\{D128B96D-76F6-40E0-A3B8-69FA0B933F68}"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + std::wstring(kBand)));
    ITypeLib* library = nullptr;
    EXPECT_EQ(LoadRegTypeLib(rb::kLibidRubrikator, 1, 0, 0x0409, &library), S_OK);
    if (library)
        library->Release();
    EXPECT_EQ(rb::UnregisterServer(true), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"TypeLib\\{2E6C9A17-5D3B-4F80-A1C4-97B2E0D8F613}"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + std::wstring(kBand)));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + std::wstring(kHandler)));
}

} // namespace
