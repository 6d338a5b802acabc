// The about page: product line, a request for feedback, the contact button, and the
// Windows version and program file of the process that hosts the module.
#pragma once

#include "ui/page.h"

#include <string>

namespace rb {

// "Windows %d.%d" of the running system followed by its platform word (" Win32 NT " on
// the NT family, trailing blank included).
std::string WindowsVersionText();

class InfoPage : public Page {
public:
    InfoPage();

protected:
    BOOL OnInitDialog() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

} // namespace rb
