// rbcols: prints the twelve Rubrikator columns for every entry of a folder.
#include <windows.h>

#include "columns/catalogue.h"
#include "columns/compute.h"
#include "columns/image_library.h"
#include "columns/option_store.h"
#include "common/win_text.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

void Write(const std::string& utf8) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()),
              &written, nullptr);
}

size_t Width(const std::wstring& text) {
    size_t width = 0;
    for (wchar_t c : text)
        if ((c & 0xFC00) != 0xDC00) // count a surrogate pair once
            ++width;
    return width;
}

void PrintTable(const std::vector<std::vector<std::wstring>>& rows) {
    std::vector<size_t> widths;
    for (const auto& row : rows)
        for (size_t i = 0; i < row.size(); ++i) {
            if (widths.size() <= i)
                widths.push_back(0);
            widths[i] = std::max(widths[i], Width(row[i]));
        }
    for (size_t r = 0; r < rows.size(); ++r) {
        std::wstring line;
        for (size_t i = 0; i < rows[r].size(); ++i) {
            const std::wstring& cell = rows[r][i];
            bool right = i > 0 && rb::ColumnCatalogue[i - 1].alignment == rb::kAlignRight;
            std::wstring pad(widths[i] - Width(cell), L' ');
            line += right ? pad + cell : cell + pad;
            if (i + 1 < rows[r].size())
                line += L" | ";
        }
        while (!line.empty() && line.back() == L' ')
            line.pop_back();
        Write(rb::WideToUtf8(line) + "\n");
        if (r == 0) {
            std::wstring rule;
            for (size_t i = 0; i < widths.size(); ++i)
                rule += std::wstring(widths[i], L'-') + (i + 1 < widths.size() ? L"-+-" : L"");
            Write(rb::WideToUtf8(rule) + "\n");
        }
    }
}

const wchar_t* ExtensionOf(const std::wstring& name) {
    size_t dot = name.find_last_of(L'.');
    return dot == std::wstring::npos ? nullptr : name.c_str() + dot;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring folder;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
            Write("usage: rbcols.exe [FOLDER]\n"
                  "Prints the twelve Rubrikator columns for every entry of FOLDER\n"
                  "(default: the current folder) as a UTF-8 table.\n");
            return 0;
        }
        folder = arg;
    }
    if (folder.empty()) {
        wchar_t current[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, current);
        folder = current;
    }
    wchar_t full[MAX_PATH];
    if (!GetFullPathNameW(folder.c_str(), MAX_PATH, full, nullptr)) {
        Write("rbcols: cannot resolve the folder\n");
        return 2;
    }
    folder = full;
    while (folder.size() > 3 && folder.back() == L'\\')
        folder.pop_back();

    std::vector<WIN32_FIND_DATAW> entries;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        Write("rbcols: cannot list " + rb::WideToUtf8(folder) + "\n");
        return 2;
    }
    do {
        std::wstring name = data.cFileName;
        if (name != L"." && name != L"..")
            entries.push_back(data);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return lstrcmpiW(a.cFileName, b.cFileName) < 0; });

    rb::LoadOptions();
    rb::ImageLibrary images;
    std::vector<std::vector<std::wstring>> rows;
    std::vector<std::wstring> header = {L"Name"};
    for (size_t i = 0; i < rb::ColumnCount(); ++i)
        header.push_back(rb::AnsiToWide(rb::ColumnTitle(i)));
    rows.push_back(header);
    for (const auto& entry : entries) {
        std::wstring name = entry.cFileName;
        std::wstring path = folder + (folder.back() == L'\\' ? L"" : L"\\") + name;
        bool isFolder = entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        std::vector<std::wstring> row = {name};
        for (size_t i = 0; i < rb::ColumnCount(); ++i) {
            rb::ColumnValue value = rb::ComputeColumnValue(
                static_cast<unsigned>(i), path.c_str(), entry.dwFileAttributes,
                isFolder ? nullptr : ExtensionOf(name), images);
            row.push_back(value.outcome == rb::ColumnOutcome::NoValue ? L"-" : value.text);
        }
        rows.push_back(row);
    }
    PrintTable(rows);
    return 0;
}
