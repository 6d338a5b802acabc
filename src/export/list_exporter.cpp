#include "export/list_exporter.h"

#include "common/shell_open.h"
#include "common/text.h"

#include <cstdio>
#include <memory>

namespace rb {

namespace {

class FileSink : public ByteSink {
public:
    explicit FileSink(FILE* file) : file_(file) {}
    ~FileSink() override { Close(); }
    void Write(const void* data, std::size_t size) override {
        if (file_)
            std::fwrite(data, 1, size, file_);
    }
    void Close() override {
        if (file_)
            std::fclose(file_);
        file_ = nullptr;
    }

private:
    FILE* file_;
};

using UniqueFilePointer = std::unique_ptr<FILE, int (*)(FILE*)>;

// The HTML and XLS target, or null after the message: owned, so that a failure while
// the contents are built cannot leave the file open.
UniqueFilePointer OpenTarget(const std::string& path, HWND owner) {
    UniqueFilePointer file(std::fopen(path.c_str(), "wb"), &std::fclose);
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

MarkedText ListExporter::BuildMarkedText() {
    return rb::BuildMarkedText(*source_);
}

std::size_t ListExporter::WriteTextFile(const std::string& path, const std::string& text,
                                        const char* mode) {
    std::string message = Format("Fehler, beim \xD6"
                                 "ffnen der Zieldatei.\nWrite failed, Target file.\n%s",
                                 path.c_str());
    FILE* file = std::fopen(path.c_str(), mode);
    if (!file) {
        MessageBoxA(nullptr, message.c_str(), nullptr, MB_OK);
        return 0;
    }
    std::size_t written = std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    return written;
}

bool ListExporter::WriteHtmlFile(const std::string& path) {
    UniqueFilePointer file = OpenTarget(path, owner_);
    if (!file)
        return false;
    std::string html = BuildHtml(*source_, htmlHead_, htmlTail_);
    std::fwrite(html.data(), 1, html.size(), file.get());
    file.reset();
    ShellOpen(nullptr, path, SW_SHOWNORMAL);
    return true;
}

bool ListExporter::WriteXlsFile(const std::string& path) {
    UniqueFilePointer file = OpenTarget(path, owner_);
    if (!file)
        return false;
    XlsFill fill = FillWorksheet(*source_, worksheet_);
    BiffStream stream(std::unique_ptr<ByteSink>(new FileSink(file.release())));
    worksheet_.SaveTo(stream);
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
