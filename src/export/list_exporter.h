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

    // Writes the TXT or CSV file as the list is read; true when every byte was written,
    // false (after a message when it cannot be created) otherwise. The caller opens it.
    bool WriteTextFile(const std::string& path, TextFormat format);
    // Write the file and let the shell open it; false (after a message) when the file
    // cannot be created.
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
