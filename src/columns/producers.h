// Producers of the column values. Each writes into the request's ValueText; an empty
// text is a valid answer.
#pragma once

#include "columns/catalogue.h"

#include <windows.h>

#include <cstdint>

namespace rb {

class ImageLibrary;

// Columns 9 to 11: "%02d.%03d" of seconds and milliseconds of the column's time.
void ProduceTimeText(unsigned column, const wchar_t* path, ValueText& value);

// The item's three times, from the item itself or else from its entry in its folder.
struct FileTimes {
    FILETIME created = {}, accessed = {}, written = {};
};
bool ReadFileTimes(const wchar_t* path, FileTimes& times);
// The column's time out of `times`: last write (9), creation (10), last access (11).
void PrintColumnTime(unsigned column, const FileTimes& times, ValueText& value);

// Column 8: the "Content Type" registered for the extension (null: HKEY_CLASSES_ROOT).
void ProduceContentType(const char* extension, ValueText& value);

// Columns 0 to 2 of a folder and column 0 of a file; false (no value) when the folder
// cannot be listed or its walk failed.
bool ProduceFolderColumn(unsigned column, const wchar_t* path, bool isFolder, ValueText& value);

// Columns 3 to 5. ProduceImageSize returns false when the item does not load as an image.
void ProduceDpi(ImageLibrary& images, const wchar_t* path, std::uint32_t attributes,
                ValueText& value);
void ProduceBitDepth(ImageLibrary& images, const wchar_t* path, std::uint32_t attributes,
                     ValueText& value);
bool ProduceImageSize(ImageLibrary& images, const wchar_t* path, std::uint32_t attributes,
                      ValueText& value);

// The three image values of one decoding, for callers that show them side by side.
struct ImageFacts {
    bool loaded = false;
    int horizontalDpi = 0, verticalDpi = 0;
    unsigned bitDepth = 0, width = 0, height = 0;
};
ImageFacts ReadImageFacts(ImageLibrary& images, const wchar_t* path, std::uint32_t attributes);

} // namespace rb
