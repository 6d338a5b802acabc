// The export command: the save dialog, the writer for the chosen type, the extension
// and the shell's opening of the result.
#pragma once

#include <windows.h>

#include <string>

namespace rb {

class ListExporter;

// The text after the last ".", lower-cased; the whole path when there is no "." or it is
// the last character.
std::wstring ExtensionOf(const std::wstring& path);

// The dialog's type list: description and pattern pairs, each ended by a zero, and a
// final zero.
std::wstring ExportFilter();

constexpr const char* kExportTitle = "Export zu TXT,CSV,HTML oder XLS ";

// Asked when the name got its extension after the dialog and a file of that name exists.
constexpr const char* kReplaceQuestion =
    "Die Datei gibt es schon. Soll sie ersetzt werden?\nThe file already exists. Replace "
    "it?\n%s";

void ExportList(ListExporter& exporter, const std::string& baseName);

} // namespace rb
