// The user's language's order of single characters, case aside, as the system's sort keys
// give it.
#include "common/name_order.h"

#include <windows.h>

namespace rb {

void CharacterKeys(const wchar_t* characters, std::size_t count, std::vector<std::string>& keys) {
    keys.assign(count, std::string());
    for (std::size_t i = 0; i < count; ++i) {
        char key[64]; // a single character's key takes a dozen bytes or so
        const int length = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE,
                                        &characters[i], 1, reinterpret_cast<LPWSTR>(key), sizeof key);
        // Without a key (none fits), the character sorts with the others that have none.
        if (length > 0)
            keys[i].assign(key, static_cast<std::size_t>(length));
    }
}

} // namespace rb
