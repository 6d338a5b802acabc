#include "ui/info_page.h"

#include "common/shell_open.h"
#include "common/text.h"
#include "resource_ids.h"
#include "web/links.h"

namespace rb {

std::string WindowsVersionText() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version)) {
        version.dwMajorVersion = version.dwMinorVersion = 0;
        version.dwPlatformId = VER_PLATFORM_WIN32s;
    }
    const char* platform;
    switch (version.dwPlatformId) {
    case VER_PLATFORM_WIN32_NT:
        platform = " Win32 NT ";
        break;
    case VER_PLATFORM_WIN32_WINDOWS:
        platform = " Win32 WINDOWS";
        break;
    case VER_PLATFORM_WIN32s:
        platform = " Win32s";
        break;
    default:
        platform = " Unbekannt ";
        break;
    }
    return Format("Windows %d.%d", static_cast<int>(version.dwMajorVersion),
                  static_cast<int>(version.dwMinorVersion)) +
           platform;
}

namespace {

// "werkhaus.example" of "https://werkhaus.example/".
std::string SiteHost() {
    std::string site = MainSiteAddress();
    std::size_t start = site.find("://");
    start = start == std::string::npos ? 0 : start + 3;
    std::size_t end = site.find('/', start);
    return site.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

} // namespace

InfoPage::InfoPage() : Page(IDD_INFO_PAGE) {}

BOOL InfoPage::OnInitDialog() {
    std::string text = WindowsVersionText() + "\r\n";
    char program[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    text += program;
    SetDlgItemTextA(Window(), IDC_SYSTEM_TEXT, text.c_str());
    // The maker's lines come from the one place that knows the site.
    SetDlgItemTextA(Window(), IDC_CREDIT_LINE, ("Freeware von " + SiteHost()).c_str());
    SetDlgItemTextA(Window(), ID_CONTACT, ("Kontakt: " + SiteHost()).c_str());
    SetDlgItemTextA(Window(), IDC_SITE_ADDRESS, MainSiteAddress().c_str());
    return FALSE;
}

INT_PTR InfoPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && LOWORD(wParam) == ID_CONTACT) {
        ShellOpen(nullptr, MainSiteAddress() + "?Kontakt", SW_SHOW);
        return TRUE;
    }
    return Page::OnMessage(message, wParam, lParam);
}

} // namespace rb
