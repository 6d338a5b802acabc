// Helpers shared by the Wine test programs.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>

#include "process_counts.h"

namespace rbtest {

// A fresh folder under %TEMP%, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::wstring& Path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }
    std::wstring MakeDir(const std::wstring& name) const;
    std::wstring WriteFile(const std::wstring& name, const std::string& bytes) const;

private:
    std::wstring path_;
};

void DeleteTree(const std::wstring& path);
// Every item below `path` (a link not entered), a folder after what it holds.
void ForEachBelow(const std::wstring& path, const std::function<void(const std::wstring&, bool folder)>& each);

// 17 May 2023, 12:minute:second.millisecond.
FILETIME TimeAt(WORD second, WORD millisecond, WORD minute = 34);
// Sets the times of a file or folder; without a creation time that one stays as it is.
bool SetTimes(const std::wstring& path, const FILETIME& created, const FILETIME& accessed,
              const FILETIME& written);
bool SetTimes(const std::wstring& path, const FILETIME& accessed, const FILETIME& written);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);

// Removes HKCU\Software\Werkhaus\Rubrikator\Optionen with its values.
void ClearOptionsKey();
// The folder this test program saves walked trees in (its own, emptied at the start).
const std::wstring& TestShelf();

// Tests that change options start and end with an empty options key and the built-in
// defaults in memory.
class CleanOptions : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// Folder of the running test program (where Rubrikator.dll is built as well).
std::wstring ProgramDir();
std::wstring ProductDllPath();

// A Unix path as Wine shows it through drive Z:.
std::wstring UnixToWindowsPath(const std::string& unixPath);

std::string Narrow(const std::wstring& text); // ANSI code page
std::wstring Widen(const std::string& text);  // ANSI code page

} // namespace rbtest
