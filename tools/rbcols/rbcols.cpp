// rbcols: loads the registered Rubrikator column handler through COM, as Explorer does,
// and prints every entry of a folder with all the handler's columns.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const CLSID kClsidRubrikatorHandler = {
    0x7C3A51E0, 0x2B94, 0x4F1D, {0x9E, 0x6B, 0x5A, 0x0C, 0x8D, 0x2F, 0x4B, 0x17}};
const IID kIidIColumnProvider = {
    0xE8025004, 0x1C42, 0x11D2, {0xBE, 0x2C, 0x00, 0xA0, 0xC9, 0xA8, 0x3D, 0xA1}};

void Write(const std::wstring& text) {
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0],
                            length, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()),
              &written, nullptr);
}

size_t Width(const std::wstring& text) {
    size_t width = 0;
    for (wchar_t c : text)
        if ((c & 0xFC00) != 0xDC00) // a surrogate pair is one character
            ++width;
    return width;
}

struct Column {
    SHCOLUMNID id;
    std::wstring title;
    bool right;
};

void PrintTable(const std::vector<Column>& columns,
                const std::vector<std::vector<std::wstring>>& rows) {
    std::vector<size_t> widths(columns.size() + 1, 0);
    for (const auto& row : rows)
        for (size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], Width(row[i]));
    for (size_t r = 0; r < rows.size(); ++r) {
        std::wstring line;
        for (size_t i = 0; i < rows[r].size(); ++i) {
            const std::wstring& cell = rows[r][i];
            std::wstring pad(widths[i] - Width(cell), L' ');
            bool right = i > 0 && columns[i - 1].right;
            line += right ? pad + cell : cell + pad;
            if (i + 1 < rows[r].size())
                line += L" | ";
        }
        while (!line.empty() && line.back() == L' ')
            line.pop_back();
        Write(line + L"\n");
        if (r == 0) {
            std::wstring rule;
            for (size_t i = 0; i < widths.size(); ++i)
                rule += std::wstring(widths[i], L'-') + (i + 1 < widths.size() ? L"-+-" : L"");
            Write(rule + L"\n");
        }
    }
}

int Run(std::wstring folder) {
    wchar_t full[MAX_PATH];
    if (!GetFullPathNameW(folder.c_str(), MAX_PATH, full, nullptr)) {
        Write(L"rbcols: cannot resolve the folder " + folder + L"\n");
        return 2;
    }
    folder = full;
    while (folder.size() > 3 && folder.back() == L'\\')
        folder.pop_back();

    IColumnProvider* provider = nullptr;
    HRESULT hr = CoCreateInstance(kClsidRubrikatorHandler, nullptr, CLSCTX_INPROC_SERVER,
                                  kIidIColumnProvider, reinterpret_cast<void**>(&provider));
    if (FAILED(hr)) {
        wchar_t text[160];
        wsprintfW(text,
                  L"rbcols: the column handler is not registered (0x%08lX); "
                  L"run regsvr32 Rubrikator.dll first\n",
                  static_cast<unsigned long>(hr));
        Write(text);
        return 3;
    }
    SHCOLUMNINIT init = {};
    lstrcpynW(init.wszFolder, folder.c_str(), MAX_PATH);
    provider->Initialize(&init);

    std::vector<Column> columns;
    for (DWORD index = 0;; ++index) {
        SHCOLUMNINFO info = {};
        if (provider->GetColumnInfo(index, &info) != S_OK)
            break;
        columns.push_back({info.scid, info.wszTitle, info.fmt == LVCFMT_RIGHT});
    }

    std::vector<WIN32_FIND_DATAW> entries;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name != L"." && name != L"..")
                entries.push_back(data);
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return lstrcmpiW(a.cFileName, b.cFileName) < 0; });

    std::vector<std::vector<std::wstring>> rows;
    rows.push_back({L"Name"});
    for (const Column& column : columns)
        rows[0].push_back(column.title);
    for (const auto& entry : entries) {
        SHCOLUMNDATA item = {};
        item.dwFileAttributes = entry.dwFileAttributes;
        std::wstring path = folder + (folder.back() == L'\\' ? L"" : L"\\") + entry.cFileName;
        lstrcpynW(item.wszFile, path.c_str(), MAX_PATH);
        std::wstring name = entry.cFileName;
        size_t dot = name.find_last_of(L'.');
        std::wstring extension = dot == std::wstring::npos ? L"" : name.substr(dot);
        item.pwszExt = extension.empty() || (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                           ? nullptr
                           : &extension[0];
        std::vector<std::wstring> row = {name};
        for (const Column& column : columns) {
            VARIANT value;
            VariantInit(&value);
            HRESULT got = provider->GetItemData(&column.id, &item, &value);
            if (got == S_OK && value.vt == VT_BSTR)
                row.push_back(value.bstrVal ? value.bstrVal : L"");
            else
                row.push_back(got == S_FALSE && value.vt == VT_EMPTY ? L"-" : L"");
            VariantClear(&value);
        }
        rows.push_back(row);
    }
    provider->Release();
    Write(L"Folder: " + folder + L"\n\n");
    PrintTable(columns, rows);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring folder = L".";
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
            Write(L"usage: rbcols.exe [FOLDER]\n\n"
                  L"Creates the registered Rubrikator column handler through COM (CLSID\n"
                  L"{7C3A51E0-2B94-4F1D-9E6B-5A0C8D2F4B17}), as Explorer does, and prints every\n"
                  L"entry of FOLDER (default: the current folder) with all its columns as a\n"
                  L"UTF-8 table. A '-' marks a column that does not apply to the entry.\n"
                  L"Register the handler first: regsvr32 Rubrikator.dll\n");
            return 0;
        }
        folder = arg;
    }
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    int result = Run(folder);
    CoUninitialize();
    return result;
}
