#include "windows_found.h"

#include "thread.h"

#include <atomic>
#include <cstring>

namespace rbtest {

namespace {

struct Search {
    const char* className;
    const char* title;
    HWND other;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
    auto* s = reinterpret_cast<Search*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || window == s->other || !IsWindowVisible(window))
        return TRUE;
    // The class first: asking a window of a busy thread for its text would wait for it.
    char cls[64] = {}, text[256] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (std::strcmp(cls, s->className) != 0)
        return TRUE;
    if (s->title)
        GetWindowTextA(window, text, sizeof text);
    if (!s->title || std::strcmp(text, s->title) == 0) {
        s->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND FindOwnWindow(const char* className, const char* title, HWND other) {
    Search search{className, title, other, nullptr};
    EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindow(const char* className, const char* title, HWND other, DWORD timeout) {
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND found = FindOwnWindow(className, title, other))
            return found;
        if (GetTickCount() - start > timeout)
            return nullptr;
        Sleep(20);
    }
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeout) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeout)
            return false;
        Sleep(10);
    }
    return true;
}

std::string ItemText(HWND dialog, int id) {
    char text[2048] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

std::string WindowText(HWND window) {
    char text[2048] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus ? info.hwndFocus : window;
}

void RunDriven(const std::function<void()>& open, const std::function<void()>& drive) {
    std::atomic<bool> finished{false};
    Thread driver([&] {
        drive();
        // Whatever is still open ends, so that a failing test does not wait for ever.
        while (!finished) {
            if (HWND stray = FindOwnWindow("#32768", nullptr))
                PostMessageA(stray, WM_KEYDOWN, VK_ESCAPE, 0);
            else if (HWND dialog = FindOwnWindow("#32770", nullptr))
                PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            Sleep(100);
        }
    });
    open();
    finished = true;
}

namespace {

const std::function<void()>* g_work = nullptr;
HANDLE g_workDone = nullptr;
UINT g_runMessage = RegisterWindowMessageA("rbtest.run");

LRESULT CALLBACK RunOnGetMessage(int code, WPARAM removed, LPARAM message) {
    auto* msg = reinterpret_cast<MSG*>(message);
    if (code == HC_ACTION && removed == PM_REMOVE && msg->message == g_runMessage && g_work) {
        (*g_work)();
        g_work = nullptr;
        SetEvent(g_workDone);
    }
    return CallNextHookEx(nullptr, code, removed, message);
}

} // namespace

void RunInThreadOf(HWND window, const std::function<void()>& work) {
    HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, &RunOnGetMessage, nullptr,
                                   GetWindowThreadProcessId(window, nullptr));
    if (!hook)
        return;
    g_workDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_work = &work;
    PostMessageW(window, g_runMessage, 0, 0);
    WaitForSingleObject(g_workDone, 60000);
    UnhookWindowsHookEx(hook);
    CloseHandle(g_workDone);
    g_workDone = nullptr;
    g_work = nullptr;
}

} // namespace rbtest
