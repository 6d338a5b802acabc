#include "columns/catalogue.h"

#include "common/text.h"

#include <cstdarg>
#include <cstdio>

namespace rb {

const ColumnRecord ColumnCatalogue[] = {
    {"Ordnergr\xF6\xDF"
     "e (RB)",
     FolderSize, kAlignRight},
    {"Ordneranzahl (RB)", FolderCount, kAlignRight},
    {"Dateienanzahl (RB)", FileCount, kAlignRight},
    {"DPI (RB)", Dpi, kAlignRight},
    {"Bittiefe (RB)", BitDepth, kAlignRight},
    {"Bildaufl\xF6sung (RB)", ImageSize, kAlignRight},
    {"Kompletter-Path (RB)", FullPath, kAlignLeft},
    {"Dateierweiterung (RB)", Extension, kAlignLeft},
    {"Content-Type (RB)", ContentType, kAlignLeft},
    {"\xC4nderungssek. (RB)", ModifiedSeconds, kAlignRight},
    {"Erstellsek. (RB)", CreatedSeconds, kAlignRight},
    {"Zugriffssek. (RB)", AccessedSeconds, kAlignRight},
    {nullptr, 0, 0},
};

std::size_t ColumnCount() {
    std::size_t count = 0;
    while (ColumnCatalogue[count].title)
        ++count;
    return count;
}

const char* ColumnTitle(std::size_t index) {
    return index < ColumnCount() ? ColumnCatalogue[index].title : nullptr;
}

void ValueText::Assign(const char* value) {
    CopyBounded(text, kCapacity, value);
}

void ValueText::Print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int written = std::vsnprintf(text, kCapacity, format, args);
    va_end(args);
    if (written < 0)
        text[0] = '\0';
}

} // namespace rb
