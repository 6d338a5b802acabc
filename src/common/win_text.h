// Conversions between the module's 8-bit texts (ANSI code page) and the shell's UTF-16;
// the system's error texts.
#pragma once

#include <windows.h>
#include <string>

namespace rb {

std::wstring AnsiToWide(const char* text);
inline std::wstring AnsiToWide(const std::string& text) {
    return AnsiToWide(text.c_str());
}

// Characters the code page lacks become its default replacement character.
std::string WideToAnsi(const wchar_t* text);

// Same, into a fixed buffer of `capacity` bytes that always ends in a zero.
void WideToAnsi(const wchar_t* text, char* target, int capacity);

std::string WideToUtf8(const std::wstring& text);

// The system's text for an error code, in the user's language, without the line break at
// its end; "Fehler <code>" when the system has none.
std::string SystemMessage(DWORD error);

} // namespace rb
