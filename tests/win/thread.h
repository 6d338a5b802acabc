// A joinable thread for the tests and benchmarks: the compilers' win32 thread model,
// which the module is built with, has no std::thread.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <utility>

namespace rbtest {

class Thread {
public:
    explicit Thread(std::function<void()> body)
        : body_(new std::function<void()>(std::move(body))),
          handle_(CreateThread(nullptr, 0, &Run, body_.get(), 0, nullptr)) {}
    ~Thread() { Join(); }
    Thread(Thread&& other) noexcept : body_(std::move(other.body_)), handle_(other.handle_) {
        other.handle_ = nullptr;
    }
    Thread& operator=(Thread&&) = delete;
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    void Join() {
        if (!handle_)
            return;
        WaitForSingleObject(handle_, INFINITE);
        CloseHandle(handle_);
        handle_ = nullptr;
    }

private:
    static DWORD WINAPI Run(void* body) {
        (*static_cast<std::function<void()>*>(body))();
        return 0;
    }

    std::unique_ptr<std::function<void()>> body_;
    HANDLE handle_;
};

} // namespace rbtest
