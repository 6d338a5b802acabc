// Names in the order Explorer gives them: a run of digits by its value and before any
// other character, every other character by its place in the user's language, case
// aside. The keys of a set of names are made once; two keys then compare as plain
// sequences of numbers, so the order is a strict weak one whatever the characters (a
// sort may rely on it) and cheap where names differ in plain letters or digits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rb {

class NameOrder {
public:
    // Makes the keys of `names`; they are compared by their index in it.
    void Make(const std::vector<std::wstring_view>& names);
    // Below zero when name `a` comes first, zero when the two are equal in this order.
    int Compare(std::size_t a, std::size_t b) const;

private:
    std::vector<char16_t> keys_;
    std::vector<std::size_t> starts_; // key i is keys_[starts_[i], starts_[i + 1])
};

// The collation key of each of `count` characters alone, case aside: the user's language's
// on Windows, a portable stand-in elsewhere. Two characters are in the order of their keys'
// bytes.
void CharacterKeys(const wchar_t* characters, std::size_t count, std::vector<std::string>& keys);

} // namespace rb
