#include "export/list_exporter.h"

#include "common/shell_open.h"
#include "common/text.h"
#include "common/file_replace.h"
#include "common/win_text.h"

#include <memory>

namespace rb {

namespace {

// The export file, written beside its target and put in place at Close. Puts the first
// failure into `error` (which outlives the sink: a stream destroys its sink when it
// closes), and writes nothing more after it.
class FileSink : public ByteSink {
public:
    FileSink(ReplacingFile& file, DWORD& error) : file_(file), error_(error) {}
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    void Write(const void* data, std::size_t size) override {
        if (!error_ && !file_.Write(data, size))
            error_ = file_.Error();
    }
    void Close() override {
        if (!error_ && !file_.Commit())
            error_ = file_.Error();
    }

private:
    ReplacingFile& file_;
    DWORD& error_;
};

// The ANSI text `before`, the path, and the ANSI text `after`.
std::wstring AroundPath(const std::string& before, const std::wstring& path,
                        const std::string& after) {
    return AnsiToWide(before) + path + AnsiToWide(after);
}

void ReportOpenFailure(const std::wstring& path, DWORD error, HWND owner) {
    std::wstring message = AroundPath("Fehler, beim \xD6"
                                      "ffnen der Zieldatei.\nWrite failed, Target file.\n",
                                      path, "\n" + SystemMessage(error));
    MessageBoxW(owner, message.c_str(), nullptr, MB_OK | MB_ICONERROR);
}

// Writes the whole file through `write`, which closes the sink at its end. On any failure
// the target stays as it was and the user is told why: nothing half-written is left behind
// or opened, whatever `write` throws.
template <typename Writer>
bool WriteTarget(const std::wstring& path, HWND openOwner, HWND writeOwner, Writer write) {
    ReplacingFile file(path);
    if (!file.Open()) {
        ReportOpenFailure(path, file.Error(), openOwner);
        return false;
    }
    DWORD error = 0;
    write(std::unique_ptr<FileSink>(new FileSink(file, error)));
    if (!error && !file.Committed() && !file.Commit())
        error = file.Error();
    if (!error)
        return true;
    file.Abandon();
    std::wstring message = AroundPath(kExportWriteFailedText, path, "\n" + SystemMessage(error));
    MessageBoxW(writeOwner, message.c_str(), nullptr, MB_OK | MB_ICONERROR);
    return false;
}

} // namespace

ListExporter::ListExporter(HWND list)
    : ownSource_(new ListViewSource(list)), source_(ownSource_.get()), owner_(list),
      htmlHead_(kHtmlHead), htmlTail_(kHtmlTail) {}

ListExporter::ListExporter(ListSource& source, HWND owner)
    : source_(&source), owner_(owner), htmlHead_(kHtmlHead), htmlTail_(kHtmlTail) {}

ListExporter::~ListExporter() = default;

bool ListExporter::WriteTextFile(const std::wstring& path, TextFormat format) {
    return WriteTarget(path, nullptr, owner_, [&](std::unique_ptr<FileSink> sink) {
        WriteText(*source_, format, *sink);
        sink->Close();
    });
}

bool ListExporter::WriteHtmlFile(const std::wstring& path) {
    if (!WriteTarget(path, owner_, owner_, [&](std::unique_ptr<FileSink> sink) {
            WriteHtml(*source_, htmlHead_, htmlTail_, *sink);
            sink->Close();
        }))
        return false;
    ShellOpen(nullptr, path, SW_SHOWNORMAL);
    return true;
}

bool ListExporter::WriteXlsFile(const std::wstring& path) {
    XlsFill fill;
    if (!WriteTarget(path, owner_, owner_, [&](std::unique_ptr<FileSink> sink) {
            // The stream owns the file from here; WriteXls closes it at its end.
            BiffStream stream(std::move(sink));
            fill = WriteXls(*source_, stream);
        }))
        return false;
    if (fill.Cut()) {
        std::string message = Format(
            "Die XLS-Datei fasst %d Zeilen und %d Spalten: %d von %d Zeilen und %d von "
            "%d Spalten geschrieben.\nThe XLS file holds %d rows and %d columns: %d of "
            "%d rows and %d of %d columns written.\n",
            kXlsMaxRows, kXlsMaxColumns, fill.rowsWritten, fill.rowsInList, fill.columnsWritten,
            fill.columnsInList, kXlsMaxRows, kXlsMaxColumns, fill.rowsWritten, fill.rowsInList,
            fill.columnsWritten, fill.columnsInList);
        MessageBoxW(nullptr, (AnsiToWide(message) + path).c_str(), nullptr, MB_OK);
    }
    ShellOpen(nullptr, path, SW_SHOWNORMAL);
    return true;
}

} // namespace rb
