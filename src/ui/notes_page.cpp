#include "ui/notes_page.h"

#include "common/file_replace.h"
#include "common/shell_open.h"
#include "common/win_handles.h"
#include "common/win_text.h"
#include "resource_ids.h"
#include "web/links.h"
#include "web/mail.h"

#include <shlobj.h>

namespace rb {

namespace {

enum class Read { Done, Missing, Failed };

// The whole file into `bytes`. A file that exists but cannot be read now (a backup program
// or a virus scanner holds it) says nothing about what it holds.
Read ReadWholeFile(const std::wstring& path, std::string& bytes) {
    bytes.clear();
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Read::Missing
                                                                              : Read::Failed;
    }
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr))
            return Read::Failed;
        if (got == 0)
            return Read::Done;
        bytes.append(buffer, got);
    }
}

} // namespace

std::wstring NotesFilePath() {
    RefreshProductName();
    // Wide, so that a user name outside the ANSI code page still names the folder.
    wchar_t folder[MAX_PATH + 1] = {};
    if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PERSONAL, TRUE))
        folder[0] = L'\0';
    std::wstring path = std::wstring(folder) + L"\\" + AnsiToWide(ProductName()) + L"_Notiz.txt";
    // One pass, left to right: a folder ending in a backslash (a drive's root) gives one.
    std::wstring single;
    for (std::size_t i = 0; i < path.size(); ++i) {
        single += path[i];
        if (path[i] == L'\\' && i + 1 < path.size() && path[i + 1] == L'\\')
            ++i;
    }
    return single;
}

std::wstring NoteBesidePath(const std::wstring& path, int number) {
    std::size_t dot = path.find_last_of(L'.');
    std::size_t slash = path.find_last_of(L'\\');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash))
        dot = path.size();
    return path.substr(0, dot) + L" (" + std::to_wstring(number) + L")" + path.substr(dot);
}

NotesPage::NotesPage() : Page(IDD_NOTES_PAGE), path_(NotesFilePath()) {}

BOOL NotesPage::OnInitDialog() {
    // Beyond the 32,767 characters a user may type by default.
    SendMessageA(Item(IDC_TEXT), EM_SETLIMITTEXT, 0, 0);
    // A note that cannot be read now shows empty; what it holds counts as another's.
    std::string bytes;
    ReadWholeFile(path_, bytes);
    Load(bytes);
    ShowBeside();
    return TRUE;
}

void NotesPage::ShowBeside() {
    // Notes that could not go into the file went beside it: never lost from sight.
    const std::wstring pattern = NoteBesidePath(path_, 0);
    const std::size_t number = pattern.rfind(L"(0)");
    const std::wstring folder = path_.substr(0, path_.find_last_of(L'\\') + 1);
    FILETIME newest = {};
    WIN32_FIND_DATAW found;
    UniqueFind find(FindFirstFileW((pattern.substr(0, number + 1) + L"*" + pattern.substr(number + 2)).c_str(), &found));
    for (bool more = static_cast<bool>(find); more; more = FindNextFileW(find.get(), &found) != FALSE) {
        // "(2)" to "(999)", as notes are put beside it; no folder, no other copy.
        const std::wstring name = found.cFileName;
        // (A short name may have matched: the long one is looked at only where it fits.)
        const std::size_t digits = number - folder.size() + 1;
        const int n = name.size() > digits ? _wtoi(name.c_str() + digits) : 0;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || n < 2 || n > 999 ||
            NoteBesidePath(path_, n) != folder + name)
            continue;
        if (beside_.empty() || CompareFileTime(&found.ftLastWriteTime, &newest) > 0) {
            beside_ = folder + name;
            newest = found.ftLastWriteTime;
        }
    }
    if (beside_.empty())
        return;
    FILETIME local;
    SYSTEMTIME time = {};
    FileTimeToLocalFileTime(&newest, &local);
    FileTimeToSystemTime(&local, &time);
    wchar_t when[40];
    wsprintfW(when, L"%02u.%02u.%04u %02u:%02u", time.wDay, time.wMonth, time.wYear, time.wHour,
              time.wMinute);
    const std::wstring name = beside_.substr(beside_.find_last_of(L'\\') + 1);
    SetDlgItemTextW(Window(), IDC_NOTES_BESIDE,
                    (L"Daneben liegt \u201E" + name + L"\u201C vom " + when).c_str());
    // The note moves down by the line.
    RECT line = {0, 0, 0, 16};
    MapDialogRect(Window(), &line);
    RECT edit;
    GetWindowRect(Item(IDC_TEXT), &edit);
    MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&edit), 2);
    SetWindowPos(Item(IDC_TEXT), nullptr, edit.left, edit.top + line.bottom, edit.right - edit.left,
                 edit.bottom - edit.top - line.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(Item(IDC_NOTES_BESIDE), SW_SHOWNA);
    ShowWindow(Item(IDC_NOTES_BESIDE_OPEN), SW_SHOWNA);
}

void NotesPage::Load(const std::string& bytes) {
    known_ = bytes;
    std::string text = bytes;
    text.resize(strnlen(text.c_str(), text.size())); // the note ends at its first zero byte
    loading_ = true;
    SetWindowTextA(Item(IDC_TEXT), text.c_str());
    loading_ = false;
    // The caret at the note's end, where the next words go.
    selectionStart_ = selectionEnd_ = static_cast<DWORD>(text.size());
}

NotesPage::DiskState NotesPage::OnDisk(std::string& bytes) const {
    switch (ReadWholeFile(path_, bytes)) {
    case Read::Missing:
        return DiskState::AsKnown; // gone: nothing of another's to keep
    case Read::Failed:
        return DiskState::CannotTell;
    case Read::Done:
        break;
    }
    return bytes == known_ ? DiskState::AsKnown : DiskState::Changed;
}

INT_PTR NotesPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDC_TEXT && HIWORD(wParam) == EN_CHANGE) {
        if (!loading_) {
            // A burst of typing leads to one save, half a second after the last keystroke.
            KillTimer(Window(), kSaveDelayTimer);
            SetTimer(Window(), kSaveDelayTimer, kSaveDelayMilliseconds, nullptr);
            pending_ = true;
        }
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDC_NOTES_BESIDE_OPEN) {
        if (!beside_.empty())
            ShellOpen(GetAncestor(Window(), GA_ROOT), beside_, SW_SHOWNORMAL);
        return TRUE;
    }
    if (message == WM_TIMER) {
        if (wParam == kSaveDelayTimer)
            Save(false);
        return TRUE;
    }
    if (message == WM_SHOWWINDOW && !wParam) {
        SendMessageA(Item(IDC_TEXT), EM_GETSEL, reinterpret_cast<WPARAM>(&selectionStart_),
                     reinterpret_cast<LPARAM>(&selectionEnd_));
        return FALSE;
    }
    if (message == WM_SHOWWINDOW && wParam) {
        // Another dialog may have saved the note meanwhile: with nothing typed here that
        // is not saved yet, the page shows what the file now holds.
        std::string bytes;
        if (!pending_ && OnDisk(bytes) == DiskState::Changed)
            Load(bytes);
        return FALSE;
    }
    return Page::OnMessage(message, wParam, lParam);
}

void NotesPage::Focus() {
    // Not through the dialog's own way, which would select the whole note: a key pressed
    // then would replace it all.
    HWND edit = Item(IDC_TEXT);
    SetFocus(edit);
    SendMessageA(edit, EM_SETSEL, selectionStart_, selectionEnd_);
    SendMessageA(edit, EM_SCROLLCARET, 0, 0);
}

void NotesPage::OnClosing() {
    if (!pending_ || !Window())
        return;
    // Held for a moment (a scanner, a backup): tried once more before the user is asked.
    DWORD error = 0;
    if (Save(true, &error))
        return;
    Sleep(kRetryMilliseconds / 4);
    if (Save(true, &error))
        return;
    for (;;) {
        const std::wstring text = L"Die Notiz konnte nicht gespeichert werden:\n" + path_ + L"\n" +
                                  AnsiToWide(SystemMessage(error)) +
                                  L"\nWiederholen versucht es noch einmal, Abbrechen schlie\u00DFt "
                                  L"ohne den letzten Stand der Notiz.";
        if (MessageBoxW(GetAncestor(Window(), GA_ROOT), text.c_str(), L"Notiz",
                        MB_RETRYCANCEL | MB_ICONWARNING | MB_SETFOREGROUND | MB_TOPMOST) != IDRETRY ||
            Save(true, &error))
            return;
    }
}

void NotesPage::MoveBeside() {
    for (int number = 2; number < 1000; ++number) {
        std::wstring beside = NoteBesidePath(path_, number);
        if (GetFileAttributesW(beside.c_str()) == INVALID_FILE_ATTRIBUTES) {
            path_ = beside;
            known_.clear();
            break;
        }
    }
    std::size_t slash = path_.find_last_of(L'\\');
    SetDlgItemTextA(Window(), IDC_NOTES_FRAME,
                    ("Notiz \x96 anderswo ge\xE4ndert, diese hier steht in " +
                     WideToAnsi(path_.substr(slash + 1).c_str()))
                        .c_str());
}

bool NotesPage::Save(bool closing, DWORD* error) {
    KillTimer(Window(), kSaveDelayTimer);
    HWND edit = Item(IDC_TEXT);
    int length = GetWindowTextLengthA(edit);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    int got = GetWindowTextA(edit, &text[0], length + 1);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    // Two dialogs may save the same note: the compare and the replace are one step for
    // every process of this session (a named mutex of the session's namespace).
    UniqueFile guard(CreateMutexW(nullptr, FALSE, L"Local\\Rubrikator_Notiz"));
    bool owned = guard && WaitForSingleObject(guard.get(), 5000) != WAIT_TIMEOUT;
    std::string onDisk;
    bool write = true;
    switch (OnDisk(onDisk)) {
    case DiskState::Changed:
        // Another dialog saved since this page read or wrote the note: its text stays,
        // this page's goes beside it, and from now on there.
        MoveBeside();
        break;
    case DiskState::CannotTell:
        // Held by another program for a moment: the text waits and is tried again. Only
        // when the dialog goes does it go beside the note, so that nothing is lost.
        if (closing)
            MoveBeside();
        else
            write = false;
        break;
    case DiskState::AsKnown:
        break;
    }
    ReplacingFile file(path_);
    pending_ = !(write && file.Open() && file.Write(text.data(), text.size()) && file.Commit());
    if (error)
        *error = write ? file.Error() : ERROR_SHARING_VIOLATION;
    if (!pending_)
        known_ = text;
    else if (!closing) // file held, disk full: tried again a little later
        SetTimer(Window(), kSaveDelayTimer, kRetryMilliseconds, nullptr);
    if (owned)
        ReleaseMutex(guard.get());
    return !pending_;
}

unsigned NotesPage::AnchorsOf(HWND control, const RECT& place) {
    // The note grows with the window; the line above it with its width, its button at
    // the right.
    switch (GetDlgCtrlID(control)) {
    case IDC_TEXT:
        return kGrow;
    case IDC_NOTES_BESIDE:
        return kRightEdge;
    case IDC_NOTES_BESIDE_OPEN:
        return kLeftRight;
    default:
        return Page::AnchorsOf(control, place);
    }
}

} // namespace rb
