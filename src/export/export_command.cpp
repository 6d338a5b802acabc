#include "export/export_command.h"

#include "columns/option_store.h"
#include "columns/options.h"
#include "common/shell_open.h"
#include "common/text.h"
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

std::string WithExtension(const std::string& path, int type) {
    const char* extension = kTypes[type - 1].extension;
    return ExtensionOf(path) == extension ? path : path + "." + extension;
}

// "GetSaveFileNameA" from "Comdlg32.dll", looked up when needed.
BOOL AskForFile(OPENFILENAMEA& request) {
    ScopedModuleActivation activation;
    HMODULE dialogs = LoadLibraryA("Comdlg32.dll");
    if (!dialogs)
        return FALSE;
    using GetSaveFileNameFn = BOOL(WINAPI*)(OPENFILENAMEA*);
    auto ask = reinterpret_cast<GetSaveFileNameFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(dialogs, "GetSaveFileNameA")));
    BOOL chosen = ask ? ask(&request) : FALSE;
    FreeLibrary(dialogs);
    return chosen;
}

bool IsFile(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MayReplace(const std::string& path) {
    std::string question = Format(kReplaceQuestion, path.c_str());
    return MessageBoxA(nullptr, question.c_str(), "", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

} // namespace

std::string ExtensionOf(const std::string& path) {
    std::size_t dot = path.find_last_of('.');
    std::string extension =
        dot != std::string::npos && dot + 1 < path.size() ? path.substr(dot + 1) : path;
    if (!extension.empty())
        CharLowerBuffA(&extension[0], static_cast<DWORD>(extension.size()));
    return extension;
}

std::string ExportFilter() {
    std::string filter;
    for (const FileType& type : kTypes) {
        filter += type.description;
        filter += '\0';
        filter += type.pattern;
        filter += '\0';
    }
    filter += '\0';
    return filter;
}

void ExportList(ListExporter& exporter, const std::string& baseName) {
    // The dialog is told of 260 characters; the buffer has room to spare.
    std::vector<char> file(1024, '\0');
    std::string proposed = "Export_" + baseName;
    proposed.copy(file.data(), proposed.size() < 259 ? proposed.size() : 259);
    std::string filter = ExportFilter();

    OPENFILENAMEA request = {};
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    request.hwndOwner = nullptr;
    request.hInstance = GetModuleHandleA(nullptr);
    request.lpstrFilter = filter.c_str();
    request.nFilterIndex = static_cast<DWORD>(ReadIntOption(kOptListFilter, kTypeHtml));
    request.lpstrFile = file.data();
    request.nMaxFile = 260;
    request.lpstrTitle = kExportTitle;
    // Explorer's current folder stays where it was: a folder it held could not be removed.
    request.Flags = OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR;
    if (!AskForFile(request))
        return;
    int type = static_cast<int>(request.nFilterIndex);
    WriteIntOption(kOptListFilter, type);
    if (type < kTypeText || type > kTypeXls)
        return;
    const std::string chosen(file.data());
    const std::string path = WithExtension(chosen, type);
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
