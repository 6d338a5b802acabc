// Rubrikator.dll as a file: its exports, its imports and its version resource.
#include <gtest/gtest.h>

#include "images.h"
#include "support.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

// A PE image read from disk (not mapped), for both PE32 and PE32+.
class PeFile {
public:
    explicit PeFile(const std::wstring& path) : bytes_(rbtest::ReadBytes(path)) {
        if (bytes_.size() < 0x40)
            return;
        std::uint32_t pe = Read32(0x3C);
        if (pe + 24 > bytes_.size() || bytes_.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
            return;
        machine_ = Read16(pe + 4);
        std::uint16_t sections = Read16(pe + 6);
        std::uint16_t optionalSize = Read16(pe + 20);
        std::size_t optional = pe + 24;
        bool plus = Read16(optional) == 0x20B;
        std::size_t directories = optional + (plus ? 112 : 96);
        exportRva_ = Read32(directories);
        importRva_ = Read32(directories + 8);
        plus_ = plus;
        // Same place in PE32 and PE32+.
        osVersion_ = {Read16(optional + 40), Read16(optional + 42)};
        subsystemVersion_ = {Read16(optional + 48), Read16(optional + 50)};
        for (std::size_t s = optional + optionalSize, i = 0; i < sections; ++i, s += 40)
            sections_.push_back({Read32(s + 12), Read32(s + 8), Read32(s + 20)});
        valid_ = true;
    }

    bool Valid() const { return valid_; }
    std::uint16_t Machine() const { return machine_; }

    std::vector<std::string> ImportedDlls() const {
        std::vector<std::string> names;
        for (std::size_t d = Offset(importRva_); d && Read32(d + 12); d += 20)
            names.push_back(String(Read32(d + 12)));
        return names;
    }

    // "DLL!name" of every function imported by name; "DLL!#n" for one by ordinal.
    std::vector<std::string> ImportedFunctions() const {
        std::vector<std::string> names;
        for (std::size_t d = Offset(importRva_); d && Read32(d + 12); d += 20) {
            std::string dll = String(Read32(d + 12));
            std::uint32_t lookup = Read32(d) ? Read32(d) : Read32(d + 16);
            const std::size_t width = plus_ ? 8 : 4;
            for (std::size_t t = Offset(lookup); t; t += width) {
                std::uint64_t thunk = plus_ ? Read64(t) : Read32(t);
                if (!thunk)
                    break;
                const std::uint64_t byOrdinal = plus_ ? 1ull << 63 : 1ull << 31;
                names.push_back(dll + "!" +
                                ((thunk & byOrdinal) ? "#" + std::to_string(thunk & 0xFFFF)
                                                     : String(static_cast<std::uint32_t>(thunk) + 2)));
            }
        }
        return names;
    }

    std::pair<int, int> OsVersion() const { return osVersion_; }
    std::pair<int, int> SubsystemVersion() const { return subsystemVersion_; }

    std::vector<std::string> ExportedNames() const {
        std::vector<std::string> names;
        std::size_t e = Offset(exportRva_);
        if (!e)
            return names;
        std::uint32_t count = Read32(e + 24);
        std::size_t table = Offset(Read32(e + 32));
        for (std::uint32_t i = 0; i < count; ++i)
            names.push_back(String(Read32(table + 4 * i)));
        return names;
    }

private:
    struct Section {
        std::uint32_t rva, size, raw;
    };
    std::uint16_t Read16(std::size_t at) const {
        std::uint16_t v = 0;
        if (at + 2 <= bytes_.size())
            std::memcpy(&v, &bytes_[at], 2);
        return v;
    }
    std::uint32_t Read32(std::size_t at) const {
        std::uint32_t v = 0;
        if (at + 4 <= bytes_.size())
            std::memcpy(&v, &bytes_[at], 4);
        return v;
    }
    std::uint64_t Read64(std::size_t at) const {
        return Read32(at) | (static_cast<std::uint64_t>(Read32(at + 4)) << 32);
    }
    std::size_t Offset(std::uint32_t rva) const {
        for (const Section& s : sections_)
            if (rva >= s.rva && rva < s.rva + s.size)
                return rva - s.rva + s.raw;
        return 0;
    }
    std::string String(std::uint32_t rva) const {
        std::size_t at = Offset(rva);
        return at ? std::string(bytes_.c_str() + at) : std::string();
    }

    std::string bytes_;
    bool valid_ = false;
    bool plus_ = false;
    std::pair<int, int> osVersion_, subsystemVersion_;
    std::uint16_t machine_ = 0;
    std::uint32_t exportRva_ = 0, importRva_ = 0;
    std::vector<Section> sections_;
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(tolower(c)); });
    return text;
}

TEST(ModuleFile, ImportsSystemDllsOnly) {
    PeFile dll(rbtest::ProductDllPath());
    ASSERT_TRUE(dll.Valid());
    EXPECT_EQ(dll.Machine(), sizeof(void*) == 8 ? 0x8664 : 0x14C);
    const std::set<std::string> system = {
        "kernel32.dll", "user32.dll", "gdi32.dll",    "advapi32.dll",
        "shell32.dll",  "ole32.dll",  "oleaut32.dll", "comctl32.dll",
        "shlwapi.dll",  "msvcrt.dll", "comdlg32.dll", "version.dll",
    };
    std::vector<std::string> imports = dll.ImportedDlls();
    EXPECT_FALSE(imports.empty());
    for (const std::string& name : imports)
        EXPECT_TRUE(system.count(Lower(name))) << "imports " << name;
}

// "DLL!name" (DLL name lower-cased) of the functions these system DLLs export on Vista
// and later only, as the list in the test data gives them for this architecture.
std::set<std::string> FunctionsAfterXp() {
    std::set<std::string> names;
    std::string text = rbtest::ReadBytes(rbtest::FixtureDir() + L"\\winapi-after-xp.txt");
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.empty() || line[0] == '#')
            continue;
        std::size_t tab = line.find('\t');
        std::string note = tab == std::string::npos ? "" : line.substr(tab);
        std::string entry = line.substr(0, tab);
        std::size_t space = entry.find(' ');
        if (space == std::string::npos)
            continue;
        // Facts the list carries in its notes.
        if (note.find("present on XP SP3") != std::string::npos ||
            (note.find("on x64 only") != std::string::npos && sizeof(void*) == 4))
            continue;
        names.insert(Lower(entry.substr(0, space)) + "!" + entry.substr(space + 1));
    }
    return names;
}

TEST(ModuleFile, ImportsNothingThatWindowsXpOrServer2003Lacks) {
    const std::set<std::string> after = FunctionsAfterXp();
    // The list itself is read: its kernel32 part alone has 266 names.
    ASSERT_GT(after.size(), 1000u);
    ASSERT_TRUE(after.count("kernel32.dll!GetTickCount64"));
    ASSERT_TRUE(after.count("user32.dll!GetDpiForWindow"));
    PeFile dll(rbtest::ProductDllPath());
    ASSERT_TRUE(dll.Valid());
    std::vector<std::string> imports = dll.ImportedFunctions();
    for (std::string& name : imports)
        name = Lower(name.substr(0, name.find('!'))) + name.substr(name.find('!'));
    // The import table is read whole: functions every version has are there.
    EXPECT_NE(std::find(imports.begin(), imports.end(), "kernel32.dll!CreateFileW"),
              imports.end());
    EXPECT_NE(std::find(imports.begin(), imports.end(), "user32.dll!DialogBoxParamA"),
              imports.end());
    for (const std::string& name : imports) {
        EXPECT_FALSE(after.count(name)) << name << " is not on Windows XP SP3 / Server 2003";
        EXPECT_EQ(name.find("!#"), std::string::npos) << name << ": imported by ordinal";
    }
    // The loader of XP refuses images that ask for a newer system: 5.1 on 32-bit XP,
    // 5.2 on XP x64 and Server 2003.
    const std::pair<int, int> most = sizeof(void*) == 8 ? std::make_pair(5, 2) : std::make_pair(5, 1);
    EXPECT_LE(dll.OsVersion(), most);
    EXPECT_LE(dll.SubsystemVersion(), most);
    EXPECT_GE(dll.SubsystemVersion(), std::make_pair(4, 0));
}

TEST(ModuleFile, ExportsTheFiveEntryPointsByName) {
    PeFile dll(rbtest::ProductDllPath());
    ASSERT_TRUE(dll.Valid());
    std::vector<std::string> names = dll.ExportedNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::string>{"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                        "DllUnregisterServer", "DoRubrikatorDlg"}));
    HMODULE module = LoadLibraryW(rbtest::ProductDllPath().c_str());
    ASSERT_NE(module, nullptr);
    for (const char* name : {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                             "DllUnregisterServer", "DoRubrikatorDlg"})
        EXPECT_NE(GetProcAddress(module, name), nullptr) << name;
    FreeLibrary(module);
}

TEST(ModuleFile, CarriesVersionAndProductName) {
    HMODULE module =
        LoadLibraryExW(rbtest::ProductDllPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));
    ASSERT_NE(found, nullptr);
    const auto* block = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    DWORD size = SizeofResource(module, found);
    // VS_FIXEDFILEINFO follows the key "VS_VERSION_INFO" at a 4-byte boundary.
    const BYTE* fixed = nullptr;
    for (DWORD at = 0; at + 4 <= size; at += 4)
        if (*reinterpret_cast<const DWORD*>(block + at) == 0xFEEF04BD) {
            fixed = block + at;
            break;
        }
    ASSERT_NE(fixed, nullptr);
    const auto* info = reinterpret_cast<const VS_FIXEDFILEINFO*>(fixed);
    EXPECT_EQ(info->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(info->dwFileVersionLS, 0x00050001u);
    EXPECT_EQ(info->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(info->dwProductVersionLS, 0x00050001u);
    std::wstring blockText(reinterpret_cast<const wchar_t*>(block), size / 2);
    size_t key = blockText.find(L"ProductName");
    ASSERT_NE(key, std::wstring::npos);
    size_t value = blockText.find(L"Rubrikator", key + 11);
    EXPECT_NE(value, std::wstring::npos);
    EXPECT_LT(value - key, 16u);
    char text[64] = {};
    EXPECT_EQ(LoadStringA(module, 128, text, sizeof text), 10);
    EXPECT_STREQ(text, "Rubrikator");
    FreeLibrary(module);
}

} // namespace
