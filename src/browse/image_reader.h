// Reads the image facts of many rows on a thread of its own, so that a sort by an image
// column, Ctrl+C or "Liste" in a folder of thousands of pictures never holds the dialog's
// thread (Explorer's) while GDI+ decodes them. The page shows how far it got.
#pragma once

#include <windows.h>

#include "columns/producers.h"
#include "common/win_lock.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace rb {

// Called on a reader's thread before each file (tests hold it there).
using ImageReadHook = void (*)(std::size_t index);
ImageReadHook SetImageReadHook(ImageReadHook hook);

class ImageReader {
public:
    struct Item {
        std::size_t row; // the caller's
        std::wstring path;
        std::uint32_t attributes;
    };
    struct Read {
        std::size_t row;
        ImageFacts facts;
    };

    // Reads `items` one after the other with a GDI+ of its own; `message` is posted to
    // `notify` when all are read. Null when no thread starts.
    static std::shared_ptr<ImageReader> Start(std::vector<Item> items, HWND notify, UINT message);
    ~ImageReader();
    ImageReader(const ImageReader&) = delete;
    ImageReader& operator=(const ImageReader&) = delete;

    std::size_t Total() const { return total_; }
    std::size_t Done() const { return done_.load(); }
    // What was read, once all are; false before.
    bool Take(std::vector<Read>& read);
    // The thread ends after the file it reads now; nothing more is posted.
    void Stop();

    // Reader threads of this process not yet ended (for tests).
    static LONG LiveThreads();

private:
    ImageReader(HWND notify, UINT message, std::size_t total)
        : notify_(notify), message_(message), total_(total) {}
    void Run(const std::vector<Item>& items);
    // What was read handed over, and the page told.
    void Finish(std::vector<Read>& read);

    mutable WaitLock lock_;
    std::vector<Read> read_;
    bool finished_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> done_{0};
    HWND notify_;
    const UINT message_;
    const std::size_t total_;
    HANDLE thread_ = nullptr;
};

} // namespace rb
