// The system's table: the invariant upper case, one page at a time.
#include "common/name_fold.h"

#include <windows.h>

namespace rb {

void FoldPage(wchar_t first, wchar_t* out) {
    wchar_t in[256];
    for (unsigned i = 0; i < 256; ++i)
        in[i] = out[i] = static_cast<wchar_t>(first + i);
    // Surrogate halves stand for no character of their own.
    if (first >= 0xD800 && first < 0xE000)
        return;
    if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, in, 256, out, 256) == 256)
        return;
    // A page the system does not map whole: character by character, the rest as it is.
    for (unsigned i = 0; i < 256; ++i) {
        out[i] = in[i];
        if (in[i] != 0)
            LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, &in[i], 1, &out[i], 1);
    }
}

} // namespace rb
