// The notes page: a small notepad kept in "Rubrikator_Notiz.txt" in the user's documents
// folder and saved half a second after the last change, and when the dialog closes. A
// note another dialog saved meanwhile is never overwritten.
#pragma once

#include "ui/page.h"

#include <string>

namespace rb {

// The documents folder + "\" + product name + "_Notiz.txt", doubled backslashes made single.
std::wstring NotesFilePath();

// "...\Rubrikator_Notiz (2).txt" for `number` 2 and the note's path.
std::wstring NoteBesidePath(const std::wstring& path, int number);

class NotesPage : public Page {
public:
    NotesPage();
    const std::wstring& FilePath() const { return path_; }

    // A change not yet saved is saved now; a save that fails is tried again, and then the
    // user is asked whether to try once more or close without it.
    void OnClosing() override;
    // The newest note another dialog put beside this one ("... (n).txt"), empty if none.
    const std::wstring& Beside() const { return beside_; }
    // The note, with the caret where it was when the page was last left.
    void Focus() override;

    static constexpr UINT_PTR kSaveDelayTimer = 1000;
    static constexpr UINT kSaveDelayMilliseconds = 500;
    // A save that could not be made (the file held or unreadable) is tried again after this.
    static constexpr UINT kRetryMilliseconds = 1000;

protected:
    BOOL OnInitDialog() override;
    unsigned AnchorsOf(HWND control, const RECT& place) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // `closing`: the last chance; a note that cannot be compared goes beside it. False
    // with `error` set when nothing could be written.
    bool Save(bool closing, DWORD* error = nullptr);
    // A line above the note names the newest note beside it, with a button to open it.
    void ShowBeside();
    // Shows `bytes` (up to a zero byte) with the caret at the end, and takes them as what
    // the file holds.
    void Load(const std::string& bytes);
    enum class DiskState { AsKnown, Changed, CannotTell };
    // What the file holds against what this page last read or wrote: the same (or no
    // file), other bytes (`bytes`, another dialog's), or unknown (it cannot be read now).
    DiskState OnDisk(std::string& bytes) const;
    // From now on the page's text goes to a free "... (n).txt" beside the note.
    void MoveBeside();

    std::wstring path_; // the note's file; another beside it once another dialog saved
    std::string known_; // what the file held when this page last read or wrote it
    std::wstring beside_;
    bool loading_ = false;
    bool pending_ = false;
    DWORD selectionStart_ = 0, selectionEnd_ = 0; // kept while the page is hidden
};

} // namespace rb
