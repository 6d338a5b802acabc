#include "common/name_fold.h"

#include <atomic>

namespace rb {

namespace {

// One page a 256 characters, made when a character of it is first folded; a page made
// twice by two threads at once is one of two equal pages, the other let go.
std::atomic<const wchar_t*> pages[256];

const wchar_t* PageOf(unsigned index) {
    const wchar_t* page = pages[index].load(std::memory_order_acquire);
    if (page)
        return page;
    wchar_t* made = new wchar_t[256];
    FoldPage(static_cast<wchar_t>(index << 8), made);
    const wchar_t* expected = nullptr;
    if (pages[index].compare_exchange_strong(expected, made, std::memory_order_acq_rel))
        return made;
    delete[] made;
    return expected;
}

} // namespace

wchar_t FoldChar(wchar_t c) {
    if (c < 0x80)
        return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
    const unsigned code = static_cast<unsigned>(c) & 0xFFFF;
    return PageOf(code >> 8)[code & 0xFF];
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
