#include "export/list_exporter.h"

#include "common/shell_open.h"
#include "common/text.h"

#include <cstdio>
#include <memory>

namespace rb {

namespace {

// Writes to a file opened with fopen; remembers whether a write fell short.
class FileSink : public ByteSink {
public:
    explicit FileSink(FILE* file) : file_(file) {}
    ~FileSink() override { Close(); }
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;
    void Write(const void* data, std::size_t size) override {
        if (!file_ || std::fwrite(data, 1, size, file_) != size)
            failed_ = true;
    }
    void Close() override {
        if (file_ && std::fclose(file_) != 0)
            failed_ = true;
        file_ = nullptr;
    }
    bool Failed() const { return failed_; }

private:
    FILE* file_;
    bool failed_ = false;
};

// The HTML and XLS target, or null after the message.
FILE* OpenTarget(const std::string& path, HWND owner) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        MessageBoxA(owner, "Error file open !!", "", MB_OK);
    return file;
}

} // namespace

ListExporter::ListExporter(HWND list)
    : ownSource_(new ListViewSource(list)), source_(ownSource_.get()), owner_(list),
      htmlHead_(kHtmlHead), htmlTail_(kHtmlTail) {}

ListExporter::ListExporter(ListSource& source, HWND owner)
    : source_(&source), owner_(owner), htmlHead_(kHtmlHead), htmlTail_(kHtmlTail) {}

ListExporter::~ListExporter() = default;

bool ListExporter::WriteTextFile(const std::string& path, TextFormat format) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::string message = Format("Fehler, beim \xD6"
                                     "ffnen der Zieldatei.\nWrite failed, Target file.\n%s",
                                     path.c_str());
        MessageBoxA(nullptr, message.c_str(), nullptr, MB_OK);
        return false;
    }
    // The sink owns the file from here: whatever the list does, the file gets closed.
    FileSink sink(file);
    WriteText(*source_, format, sink);
    sink.Close();
    return !sink.Failed();
}

bool ListExporter::WriteHtmlFile(const std::string& path) {
    FILE* file = OpenTarget(path, owner_);
    if (!file)
        return false;
    {
        FileSink sink(file);
        WriteHtml(*source_, htmlHead_, htmlTail_, sink);
    }
    ShellOpen(nullptr, path, SW_SHOWNORMAL);
    return true;
}

bool ListExporter::WriteXlsFile(const std::string& path) {
    FILE* file = OpenTarget(path, owner_);
    if (!file)
        return false;
    std::unique_ptr<ByteSink> sink;
    try {
        sink.reset(new FileSink(file));
    } catch (...) {
        std::fclose(file);
        throw;
    }
    BiffStream stream(std::move(sink));
    XlsFill fill = WriteXls(*source_, stream);
    if (fill.Cut()) {
        std::string message = Format(
            "Die XLS-Datei fasst %d Zeilen und %d Spalten: %d von %d Zeilen und %d von "
            "%d Spalten geschrieben.\nThe XLS file holds %d rows and %d columns: %d of "
            "%d rows and %d of %d columns written.\n%s",
            kXlsMaxRows, kXlsMaxColumns, fill.rowsWritten, fill.rowsInList, fill.columnsWritten,
            fill.columnsInList, kXlsMaxRows, kXlsMaxColumns, fill.rowsWritten, fill.rowsInList,
            fill.columnsWritten, fill.columnsInList, path.c_str());
        MessageBoxA(nullptr, message.c_str(), nullptr, MB_OK);
    }
    ShellOpen(nullptr, path, SW_SHOWNORMAL);
    return true;
}

} // namespace rb
