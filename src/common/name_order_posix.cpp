// The portable stand-in: characters by their upper case, as the file system folds them.
#include "common/name_fold.h"
#include "common/name_order.h"

namespace rb {

void CharacterKeys(const wchar_t* characters, std::size_t count, std::vector<std::string>& keys) {
    keys.assign(count, std::string());
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned folded = static_cast<std::uint16_t>(FoldChar(characters[i]));
        keys[i] = {static_cast<char>(folded >> 8), static_cast<char>(folded & 0xFF)};
    }
}

} // namespace rb
