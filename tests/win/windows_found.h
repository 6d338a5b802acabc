// Finding and reading the windows that the code under test opens, from a second thread.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace rbtest {

// A visible top-level window of this process with that class (and title, when given),
// other than `other`; null when none is there or it did not appear within `timeout` ms.
HWND FindOwnWindow(const char* className, const char* title, HWND other = nullptr);
HWND WaitForWindow(const char* className, const char* title, HWND other = nullptr,
                   DWORD timeout = 60000);

// Polls `done` until it holds; false when it did not within `timeout` ms. The limit only
// guards against a hang: a test waits for the event itself, never for a fixed time.
bool WaitUntil(const std::function<bool()>& done, DWORD timeout = 60000);

std::string ItemText(HWND dialog, int id);
std::string WindowText(HWND window);

// The window that has the keyboard focus in the thread of `window`.
HWND FocusOf(HWND window);

// Runs `open` on this thread (it shows a modal window and returns when that ends) while
// `drive` works the window from another thread. What `drive` leaves open is closed.
void RunDriven(const std::function<void()>& open, const std::function<void()>& drive);

// Runs `work` on the thread of `window` between two of its messages, so that nothing the
// thread would process while waiting (the display's events under Wine) comes in between.
void RunInThreadOf(HWND window, const std::function<void()>& work);

} // namespace rbtest
