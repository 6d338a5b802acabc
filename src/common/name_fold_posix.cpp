// The portable table: ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic, as the
// system's table has them.
#include "common/name_fold.h"

namespace rb {

namespace {

wchar_t Upper(unsigned c) {
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return static_cast<wchar_t>(c - 0x20);
    if (c == 0xFF)
        return static_cast<wchar_t>(0x178);
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
        c != 0x17F) {
        // Pairs, upper first, shifted by one between 0x139 and 0x148 and from 0x179 on.
        const bool shifted = (c >= 0x139 && c <= 0x148) || c >= 0x179;
        const bool lower = shifted ? (c % 2 == 0) : (c % 2 == 1);
        return static_cast<wchar_t>(lower ? c - 1 : c);
    }
    if ((c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) || (c >= 0x430 && c <= 0x44F))
        return static_cast<wchar_t>(c - 0x20);
    if (c >= 0x450 && c <= 0x45F)
        return static_cast<wchar_t>(c - 0x50);
    return static_cast<wchar_t>(c);
}

} // namespace

void FoldPage(wchar_t first, wchar_t* out) {
    for (unsigned i = 0; i < 256; ++i)
        out[i] = Upper(static_cast<unsigned>(first) + i);
}

} // namespace rb
