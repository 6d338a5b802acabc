#include "export/export_command.h"

#include "columns/option_store.h"
#include "columns/options.h"
#include "common/shell_open.h"
#include "common/text.h"
#include "common/win_text.h"
#include "export/list_exporter.h"
#include "com/activation.h"

#include <commdlg.h>
#include <cstddef>
#include <vector>

namespace rb {

namespace {

struct FileType {
    const char* description;
    const char* pattern;
    const char* extension;
};

const FileType kTypes[] = {
    {"Textdatei Tabgetrennt(*.txt)", "*.txt", "txt"},
    {"CSV (*.csv)", "*.csv", "csv"},
    {"html (*.html)", "*.html", "html"},
    {"XLS (*.xls)", "*.xls", "xls"},
};

constexpr int kTypeText = 1, kTypeCsv = 2, kTypeHtml = 3, kTypeXls = 4;

std::wstring WithExtension(const std::wstring& path, int type) {
    std::wstring extension = AnsiToWide(kTypes[type - 1].extension);
    return ExtensionOf(path) == extension ? path : path + L"." + extension;
}

// "GetSaveFileNameW" from "Comdlg32.dll", looked up when needed.
BOOL AskForFile(OPENFILENAMEW& request) {
    ScopedModuleActivation activation;
    HMODULE dialogs = LoadLibraryA("Comdlg32.dll");
    if (!dialogs)
        return FALSE;
    using GetSaveFileNameFn = BOOL(WINAPI*)(OPENFILENAMEW*);
    auto ask = reinterpret_cast<GetSaveFileNameFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(dialogs, "GetSaveFileNameW")));
    BOOL chosen = ask ? ask(&request) : FALSE;
    FreeLibrary(dialogs);
    return chosen;
}

bool IsFile(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MayReplace(const std::wstring& path) {
    std::string question = kReplaceQuestion;
    std::wstring text = AnsiToWide(question.substr(0, question.find("%s"))) + path;
    return MessageBoxW(nullptr, text.c_str(), L"", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

} // namespace

std::wstring ExtensionOf(const std::wstring& path) {
    std::size_t dot = path.find_last_of(L'.');
    std::wstring extension =
        dot != std::wstring::npos && dot + 1 < path.size() ? path.substr(dot + 1) : path;
    if (!extension.empty())
        CharLowerBuffW(&extension[0], static_cast<DWORD>(extension.size()));
    return extension;
}

std::wstring ExportFilter() {
    std::wstring filter;
    for (const FileType& type : kTypes) {
        filter += AnsiToWide(type.description);
        filter += L'\0';
        filter += AnsiToWide(type.pattern);
        filter += L'\0';
    }
    filter += L'\0';
    return filter;
}

void ExportList(ListExporter& exporter, const std::string& baseName) {
    // The dialog is told of 260 characters; the buffer has room to spare.
    std::vector<wchar_t> file(1024, L'\0');
    std::wstring proposed = AnsiToWide("Export_" + baseName);
    proposed.copy(file.data(), proposed.size() < 259 ? proposed.size() : 259);
    std::wstring filter = ExportFilter();
    std::wstring title = AnsiToWide(kExportTitle);

    OPENFILENAMEW request = {};
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    request.hwndOwner = nullptr;
    request.hInstance = GetModuleHandleW(nullptr);
    request.lpstrFilter = filter.c_str();
    request.nFilterIndex = static_cast<DWORD>(ReadIntOption(kOptListFilter, kTypeHtml));
    request.lpstrFile = file.data();
    request.nMaxFile = 260;
    request.lpstrTitle = title.c_str();
    // Explorer's current folder stays where it was: a folder it held could not be removed.
    request.Flags = OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR;
    if (!AskForFile(request))
        return;
    int type = static_cast<int>(request.nFilterIndex);
    WriteIntOption(kOptListFilter, type);
    if (type < kTypeText || type > kTypeXls)
        return;
    const std::wstring chosen(file.data());
    const std::wstring path = WithExtension(chosen, type);
    // The dialog asked about the name it returned; a name that got its extension only
    // now may name another file, which is not replaced without asking either.
    if (path != chosen && IsFile(path) && !MayReplace(path))
        return;

    if (type == kTypeXls) {
        exporter.WriteXlsFile(path);
        return;
    }
    if (type == kTypeHtml) {
        exporter.WriteHtmlFile(path);
        return;
    }
    // Only a file just written is handed to the shell: an older file of that name must
    // not open as if it were the export.
    if (exporter.WriteTextFile(path, type == kTypeText ? TextFormat::Txt : TextFormat::Csv))
        ShellOpen(nullptr, path, SW_SHOWNORMAL);
}

} // namespace rb
