#include "export/list_exporter.h"

#include "common/shell_open.h"
#include "common/text.h"
#include "common/win_handles.h"
#include "common/win_text.h"

#include <memory>

namespace rb {

namespace {

bool WriteAll(HANDLE file, const void* data, DWORD size) {
    const char* at = static_cast<const char*>(data);
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(file, at, size, &written, nullptr))
            return false;
        if (written == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        at += written;
        size -= written;
    }
    return true;
}

ExportWriteFunction writeFunction = &WriteAll;

// The export file: created (or emptied) when opened. Puts the first error of a write or
// of the closing into `error` (which outlives the sink: a stream destroys its sink when
// it closes), and writes nothing more after it.
class FileSink : public ByteSink {
public:
    FileSink(HANDLE file, DWORD& error) : file_(file), error_(error) {}
    ~FileSink() override {
        if (file_)
            CloseHandle(file_);
    }
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    void Write(const void* data, std::size_t size) override {
        if (!file_ || error_)
            return;
        const char* at = static_cast<const char*>(data);
        while (size > 0 && !error_) {
            DWORD part = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
            if (!writeFunction(file_, at, part))
                error_ = ErrorOr(ERROR_WRITE_FAULT);
            at += part;
            size -= part;
        }
    }
    void Close() override {
        if (file_ && !CloseHandle(file_) && !error_)
            error_ = ErrorOr(ERROR_WRITE_FAULT);
        file_ = nullptr;
    }

private:
    static DWORD ErrorOr(DWORD fallback) {
        DWORD error = GetLastError();
        return error ? error : fallback;
    }

    HANDLE file_;
    DWORD& error_;
};

HANDLE OpenTarget(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

void ReportOpenFailure(const std::string& path, DWORD error, HWND owner) {
    std::string message = Format("Fehler, beim \xD6"
                                 "ffnen der Zieldatei.\nWrite failed, Target file.\n%s\n%s",
                                 path.c_str(), SystemMessage(error).c_str());
    MessageBoxA(owner, message.c_str(), nullptr, MB_OK | MB_ICONERROR);
}

// Writes the whole file through `write`, which closes the sink at its end. On any failure the
// partial file is removed and the user told why: nothing half-written is left behind or opened,
// whatever `write` throws.
template <typename Writer>
bool WriteTarget(const std::string& path, HWND openOwner, HWND writeOwner, Writer write) {
    HANDLE file = OpenTarget(path);
    if (!file) {
        ReportOpenFailure(path, GetLastError(), openOwner);
        return false;
    }
    DWORD error = 0;
    try {
        std::unique_ptr<FileSink> sink;
        try {
            sink.reset(new FileSink(file, error));
        } catch (...) {
            CloseHandle(file);
            throw;
        }
        write(std::move(sink));
    } catch (...) {
        DeleteFileA(path.c_str());
        throw;
    }
    if (!error)
        return true;
    DeleteFileA(path.c_str());
    std::string message =
        Format(kExportWriteFailedText, path.c_str(), SystemMessage(error).c_str());
    MessageBoxA(writeOwner, message.c_str(), nullptr, MB_OK | MB_ICONERROR);
    return false;
}

} // namespace

ExportWriteFunction SetExportWriteFunction(ExportWriteFunction writer) {
    ExportWriteFunction previous = writeFunction;
    writeFunction = writer ? writer : &WriteAll;
    return previous;
}

ListExporter::ListExporter(HWND list)
    : ownSource_(new ListViewSource(list)), source_(ownSource_.get()), owner_(list),
      htmlHead_(kHtmlHead), htmlTail_(kHtmlTail) {}

ListExporter::ListExporter(ListSource& source, HWND owner)
    : source_(&source), owner_(owner), htmlHead_(kHtmlHead), htmlTail_(kHtmlTail) {}

ListExporter::~ListExporter() = default;

bool ListExporter::WriteTextFile(const std::string& path, TextFormat format) {
    return WriteTarget(path, nullptr, owner_, [&](std::unique_ptr<FileSink> sink) {
        WriteText(*source_, format, *sink);
        sink->Close();
    });
}

bool ListExporter::WriteHtmlFile(const std::string& path) {
    if (!WriteTarget(path, owner_, owner_, [&](std::unique_ptr<FileSink> sink) {
            WriteHtml(*source_, htmlHead_, htmlTail_, *sink);
            sink->Close();
        }))
        return false;
    ShellOpen(nullptr, path, SW_SHOWNORMAL);
    return true;
}

bool ListExporter::WriteXlsFile(const std::string& path) {
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
