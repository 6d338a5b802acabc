#include "common/name_fold.h"

#include <atomic>

namespace rb {

namespace {

// One page of 256 characters, made when a character of it is first folded. The pages lie
// in the module's own memory, so that they go with it.
wchar_t pages[256][256];
std::atomic<unsigned char> made[256]; // 0: not yet, 1: being made, 2: made

} // namespace

wchar_t FoldChar(wchar_t c) {
    if (c < 0x80)
        return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
    const unsigned code = static_cast<unsigned>(c) & 0xFFFF;
    const unsigned page = code >> 8;
    if (made[page].load(std::memory_order_acquire) == 2)
        return pages[page][code & 0xFF];
    unsigned char expected = 0;
    if (made[page].compare_exchange_strong(expected, 1, std::memory_order_acq_rel)) {
        FoldPage(static_cast<wchar_t>(page << 8), pages[page]);
        made[page].store(2, std::memory_order_release);
        return pages[page][code & 0xFF];
    }
    // Another thread makes the page meanwhile: this one folds by a page of its own.
    wchar_t own[256];
    FoldPage(static_cast<wchar_t>(page << 8), own);
    return own[code & 0xFF];
}

bool SameName(const wchar_t* a, std::size_t aLength, const wchar_t* b, std::size_t bLength) {
    if (aLength != bLength)
        return false;
    for (std::size_t i = 0; i < aLength; ++i)
        if (a[i] != b[i] && FoldChar(a[i]) != FoldChar(b[i]))
            return false;
    return true;
}

std::wstring FoldName(const wchar_t* name, std::size_t length) {
    std::wstring folded(name, length);
    for (wchar_t& c : folded)
        c = FoldChar(c);
    return folded;
}

std::uint64_t FoldedHash(const wchar_t* name, std::size_t length) {
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (std::size_t i = 0; i < length; ++i)
        hash = (hash ^ static_cast<std::uint16_t>(FoldChar(name[i]))) * 0x100000001B3ull;
    return hash;
}

bool AtOrBelow(const std::wstring& path, const std::wstring& folder) {
    if (folder.empty() || path.size() < folder.size() ||
        !SameName(path.c_str(), folder.size(), folder.c_str(), folder.size()))
        return false;
    return path.size() == folder.size() || path[folder.size()] == L'\\';
}

std::wstring ParentPath(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

} // namespace rb
