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
    return ok;
}

NotesPage::NotesPage() : Page(IDD_NOTES_PAGE), path_(NotesFilePath()) {}

BOOL NotesPage::OnInitDialog() {
    std::string text = ReadWholeFile(path_);
    text.resize(strnlen(text.c_str(), text.size())); // the note ends at its first zero byte
    HWND edit = Item(IDC_TEXT);
    // Beyond the 32,767 characters a user may type by default.
    SendMessageA(edit, EM_SETLIMITTEXT, 0, 0);
    loading_ = true;
    SetWindowTextA(edit, text.c_str());
    loading_ = false;
    return TRUE;
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
    if (message == WM_SHOWWINDOW && wParam) {
        // The dialog selects the whole note when it first gives it the focus; a key
        // pressed then would replace it all.
        SendMessageA(Item(IDC_TEXT), EM_SETSEL, 0, 0);
        return FALSE;
    }
    return Page::OnMessage(message, wParam, lParam);
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
    // A failed save leaves the old file and stays pending: the next change or the
    // closing of the dialog tries again.
    pending_ = !ReplaceFileBytes(path_, text);
}

} // namespace rb
