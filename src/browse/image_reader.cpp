#include "browse/image_reader.h"

#include "columns/image_library.h"
#include "common/module_thread.h"

#include <new>

namespace rb {

namespace {

volatile LONG liveThreads = 0;
ImageReadHook readHook = nullptr;

} // namespace

ImageReadHook SetImageReadHook(ImageReadHook hook) {
    ImageReadHook previous = readHook;
    readHook = hook;
    return previous;
}

std::shared_ptr<ImageReader> ImageReader::Start(std::vector<Item> items, HWND notify,
                                                UINT message) {
    std::shared_ptr<ImageReader> reader(new (std::nothrow) ImageReader(notify, message, items.size()));
    if (!reader)
        return nullptr;
    InterlockedIncrement(&liveThreads);
    try {
        auto shared = std::make_shared<std::vector<Item>>(std::move(items));
        reader->thread_ = StartModuleThread([reader, shared] {
            try {
                reader->Run(*shared);
            } catch (...) { // out of memory: the page reads what it shows itself
                std::vector<Read> none;
                reader->Finish(none);
            }
            InterlockedDecrement(&liveThreads);
        });
    } catch (...) {
    }
    if (!reader->thread_) {
        InterlockedDecrement(&liveThreads);
        return nullptr;
    }
    return reader;
}

ImageReader::~ImageReader() {
    if (thread_)
        CloseHandle(thread_);
}

LONG ImageReader::LiveThreads() {
    return InterlockedCompareExchange(&liveThreads, 0, 0);
}

void ImageReader::Run(const std::vector<Item>& items) {
    std::vector<Read> read;
    read.reserve(items.size());
    {
        ImageLibrary images; // GDI+ started and shut down on this thread
        for (const Item& item : items) {
            if (readHook)
                readHook(read.size());
            if (stop_)
                return;
            read.push_back({item.row, ReadImageFacts(images, item.path.c_str(), item.attributes)});
            ++done_;
        }
    }
    Finish(read);
}

void ImageReader::Finish(std::vector<Read>& read) {
    // Posted under the lock: after Stop, nothing reaches a window that may be gone.
    WaitLockGuard lock(lock_);
    if (stop_)
        return;
    read_.swap(read);
    finished_ = true;
    if (notify_)
        PostMessageW(notify_, message_, 0, 0);
}

bool ImageReader::Take(std::vector<Read>& read) {
    WaitLockGuard lock(lock_);
    read.swap(read_);
    return finished_;
}

void ImageReader::Stop() {
    WaitLockGuard lock(lock_);
    stop_ = true;
    notify_ = nullptr;
}

} // namespace rb
