// The notes page: a small notepad kept in "Rubrikator_Notiz.txt" in the user's documents
// folder and saved half a second after the last change, and when the dialog closes.
#pragma once

#include "ui/page.h"

#include <string>

namespace rb {

// The documents folder + "\" + product name + "_Notiz.txt", doubled backslashes made single.
std::wstring NotesFilePath();

// Puts `bytes` in place of the file `path` in one step: they are written to a new file
// in the same folder first, which then replaces the old one. False when any step fails;
// the old file is then as it was.
bool ReplaceFileBytes(const std::wstring& path, const std::string& bytes);

// How the new file's bytes are written; tests put a failing writer in its place.
using FileWriteFunction = bool (*)(HANDLE file, const char* data, DWORD size);
FileWriteFunction SetNotesWriteFunction(FileWriteFunction writer);

class NotesPage : public Page {
public:
    NotesPage();
    const std::wstring& FilePath() const { return path_; }

    // A change not yet saved is saved now.
    void OnClosing() override;

    static constexpr UINT_PTR kSaveDelayTimer = 1000;
    static constexpr UINT kSaveDelayMilliseconds = 500;

protected:
    BOOL OnInitDialog() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Save();

    std::wstring path_;
    bool loading_ = false;
    bool pending_ = false;
};

} // namespace rb
