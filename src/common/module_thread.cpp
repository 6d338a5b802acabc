#include "common/module_thread.h"

#include <memory>
#include <new>

namespace rb {

namespace {

struct Start {
    std::function<void()> body;
    HMODULE module;
};

DWORD WINAPI ThreadMain(void* argument) {
    HMODULE module;
    {
        std::unique_ptr<Start> start(static_cast<Start*>(argument));
        module = start->module;
        try {
            start->body();
        } catch (...) {
        }
    } // what the body held goes here, inside the module
    FreeLibraryAndExitThread(module, 0);
}

} // namespace

HANDLE StartModuleThread(std::function<void()> body) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&ThreadMain), &module))
        return nullptr;
    Start* start = new (std::nothrow) Start{std::function<void()>(), module};
    HANDLE thread = nullptr;
    if (start) {
        try {
            start->body = std::move(body);
            thread = CreateThread(nullptr, 0, &ThreadMain, start, 0, nullptr);
        } catch (...) {
        }
    }
    if (!thread) {
        delete start;
        FreeLibrary(module);
    }
    return thread;
}

} // namespace rb
