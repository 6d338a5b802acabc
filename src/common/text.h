// 8-bit text helpers shared by every subsystem. Texts are std::string holding bytes
// of the ANSI code page (Windows-1252); nothing here interprets the bytes.
#pragma once

#include <cstddef>
#include <string>

namespace rb {

// printf-style formatting into a new string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Replaces every occurrence of `from`, scanning left to right without overlap.
void ReplaceAll(std::string& text, const std::string& from, const std::string& to);

// Copies `source` into `target` of `capacity` bytes, cutting it so that a terminating
// zero always fits. Returns the number of characters copied.
std::size_t CopyBounded(char* target, std::size_t capacity, const char* source);

// Like atoi: leading blanks, an optional sign, then decimal digits up to the first
// other character; no digits give 0. Out-of-range values saturate.
int ParseLeadingInt(const char* text);

} // namespace rb
