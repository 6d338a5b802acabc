// One export of a list: the four writers, their messages and the shell's opening of
// the finished file.
#pragma once

#include <windows.h>

#include "export/biff2/worksheet.h"
#include "export/formats.h"
#include "export/listview_source.h"

#include <memory>
#include <string>

namespace rb {

// Said when a file could be created but not written whole (disk full, share gone,
// closing failed): the path, then the system's reason. The partial file is removed.
constexpr const char* kExportWriteFailedText = "Die Liste konnte nicht gespeichert werden:\n%s\n%s";

// How the export files' bytes are written; tests put a failing writer in its place. It
// returns false with the system's error set.
using ExportWriteFunction = bool (*)(HANDLE file, const void* data, DWORD size);
ExportWriteFunction SetExportWriteFunction(ExportWriteFunction writer);

class ListExporter {
public:
    // Reads the list-view control `list`.
    explicit ListExporter(HWND list);
    // Reads any list; `owner` owns the writers' message boxes.
    ListExporter(ListSource& source, HWND owner);
    virtual ~ListExporter();
    ListExporter(const ListExporter&) = delete;
    ListExporter& operator=(const ListExporter&) = delete;

    HWND ListWindow() const { return owner_; }
    ListSource& Source() { return *source_; }

    // Writes the TXT or CSV file as the list is read; true when every byte was written.
    // Otherwise false, after a message, with no file left; the caller opens it on true.
    bool WriteTextFile(const std::string& path, TextFormat format);
    // Write the file and let the shell open it; false (after a message, with no file
    // left and nothing opened) when it cannot be created or written whole.
    bool WriteHtmlFile(const std::string& path);
    bool WriteXlsFile(const std::string& path);

private:
    std::unique_ptr<ListViewSource> ownSource_;
    ListSource* source_;
    HWND owner_;
    std::string htmlHead_;
    std::string htmlTail_;
};

} // namespace rb
