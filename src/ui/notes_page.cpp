#include "ui/notes_page.h"

#include "common/win_handles.h"
#include "common/win_text.h"
#include "resource_ids.h"
#include "web/links.h"
#include "web/mail.h"

#include <shlobj.h>

namespace rb {

namespace {

bool WriteAll(HANDLE file, const char* data, DWORD size) {
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(file, data, size, &written, nullptr) || written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

FileWriteFunction writeFunction = &WriteAll;

std::string ReadWholeFile(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    if (!file)
        return bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    return bytes;
}

} // namespace

FileWriteFunction SetNotesWriteFunction(FileWriteFunction writer) {
    FileWriteFunction previous = writeFunction;
    writeFunction = writer ? writer : &WriteAll;
    return previous;
}

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

bool ReplaceFileBytes(const std::wstring& path, const std::string& bytes) {
    // The note keeps what the user gave it (hidden, say); the new file would not.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    std::size_t slash = path.find_last_of(L'\\');
    std::wstring folder = slash == std::wstring::npos ? L"." : path.substr(0, slash + 1);
    wchar_t temporary[MAX_PATH + 1] = {};
    if (!GetTempFileNameW(folder.c_str(), L"Rbn", 0, temporary))
        return false;
    bool ok;
    {
        UniqueFile file(CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        ok = file && writeFunction(file.get(), bytes.data(), static_cast<DWORD>(bytes.size())) &&
             FlushFileBuffers(file.get());
    }
    ok = ok &&
         MoveFileExW(temporary, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok)
        DeleteFileW(temporary);
    else if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        SetFileAttributesW(path.c_str(), attributes);
    return ok;
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
    Load(ReadWholeFile(path_));
    return TRUE;
}

void NotesPage::Load(const std::string& bytes) {
    known_ = bytes;
    std::string text = bytes;
    text.resize(strnlen(text.c_str(), text.size())); // the note ends at its first zero byte
    loading_ = true;
    SetWindowTextA(Item(IDC_TEXT), text.c_str());
    loading_ = false;
}

bool NotesPage::ChangedOnDisk(std::string& bytes) const {
    if (GetFileAttributesW(path_.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false; // gone: nothing of another's to keep
    bytes = ReadWholeFile(path_);
    return bytes != known_;
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
    if (message == WM_TIMER) {
        if (wParam == kSaveDelayTimer)
            Save();
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
        if (!pending_ && ChangedOnDisk(bytes)) {
            Load(bytes);
            selectionStart_ = selectionEnd_ = 0;
        }
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
    if (pending_ && Window())
        Save();
}

void NotesPage::Save() {
    KillTimer(Window(), kSaveDelayTimer);
    HWND edit = Item(IDC_TEXT);
    int length = GetWindowTextLengthA(edit);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    int got = GetWindowTextA(edit, &text[0], length + 1);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    // Two dialogs may save the same note: the compare and the replace are one step for
    // every process of this user.
    UniqueFile guard(CreateMutexW(nullptr, FALSE, L"Local\\Rubrikator_Notiz"));
    bool owned = guard && WaitForSingleObject(guard.get(), 5000) != WAIT_TIMEOUT;
    std::string onDisk;
    if (ChangedOnDisk(onDisk)) {
        // Another dialog saved since this page read or wrote the note: its text stays,
        // this page's goes beside it, and from now on there.
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
    // A failed save leaves the old file and stays pending: the next change or the
    // closing of the dialog tries again.
    pending_ = !ReplaceFileBytes(path_, text);
    if (!pending_)
        known_ = text;
    if (owned)
        ReleaseMutex(guard.get());
}

} // namespace rb
