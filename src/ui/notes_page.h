// The notes page: a small notepad kept in "Rubrikator_Notiz.txt" in the user's documents
// folder and saved half a second after the last change, and when the dialog closes. A
// note another dialog saved meanwhile is never overwritten.
#pragma once

#include "ui/page.h"

#include <string>

namespace rb {

// The documents folder + "\" + product name + "_Notiz.txt", doubled backslashes made single.
std::wstring NotesFilePath();

// Puts `bytes` in place of the file `path` in one step: they are written to a new file
// in the same folder first, which then replaces the old one and takes its attributes.
// False when any step fails; the old file is then as it was.
bool ReplaceFileBytes(const std::wstring& path, const std::string& bytes);

// "...\Rubrikator_Notiz (2).txt" for `number` 2 and the note's path.
std::wstring NoteBesidePath(const std::wstring& path, int number);

// How the new file's bytes are written; tests put a failing writer in its place.
using FileWriteFunction = bool (*)(HANDLE file, const char* data, DWORD size);
FileWriteFunction SetNotesWriteFunction(FileWriteFunction writer);

class NotesPage : public Page {
public:
    NotesPage();
    const std::wstring& FilePath() const { return path_; }

    // A change not yet saved is saved now.
    void OnClosing() override;
    // The note, with the caret where it was when the page was last left.
    void Focus() override;

    static constexpr UINT_PTR kSaveDelayTimer = 1000;
    static constexpr UINT kSaveDelayMilliseconds = 500;

protected:
    BOOL OnInitDialog() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Save();
    // Shows `bytes` (up to a zero byte) and takes them as what the file holds.
    void Load(const std::string& bytes);
    // Whether the file exists and holds other bytes than this page last read or wrote;
    // `bytes` are then those.
    bool ChangedOnDisk(std::string& bytes) const;

    std::wstring path_; // the note's file; another beside it once another dialog saved
    std::string known_; // what the file held when this page last read or wrote it
    bool loading_ = false;
    bool pending_ = false;
    DWORD selectionStart_ = 0, selectionEnd_ = 0; // kept while the page is hidden
};

} // namespace rb
