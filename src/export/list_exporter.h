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

// Said, followed by the path and the system's reason, when a file could not be written
// whole (disk full, share gone, closing failed). A file the export was to replace stays.
constexpr const char* kExportWriteFailedText = "Die Liste konnte nicht gespeichert werden:\n";

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
    // Otherwise false, after a message, with the path as it was before; the caller opens
    // the file on true.
    bool WriteTextFile(const std::wstring& path, TextFormat format);
    // Write the file and let the shell open it; false (after a message, with the path as
    // it was before and nothing opened) when it cannot be created or written whole.
    bool WriteHtmlFile(const std::wstring& path);
    bool WriteXlsFile(const std::wstring& path);

private:
    std::unique_ptr<ListViewSource> ownSource_;
    ListSource* source_;
    HWND owner_;
    std::string htmlHead_;
    std::string htmlTail_;
};

} // namespace rb
