#include "common/name_order.h"

#include <algorithm>
#include <numeric>

namespace rb {

namespace {

// In a key a number is this mark, its count of digits without leading zeros, then the
// digits; every other character is its rank, above the mark.
constexpr char16_t kNumber = 1;
constexpr char16_t kFirstRank = 2;

bool Digit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

} // namespace

void NameOrder::Make(const std::vector<std::wstring_view>& names) {
    // The characters other than digits that the names hold, ranked among themselves by
    // their keys; equal keys (a letter and its capital) share a rank. Counted meanwhile:
    // the room the keys take at most, a number taking two more than its digits.
    std::vector<std::uint64_t> seen(0x10000 / 64);
    std::size_t room = 0;
    for (std::wstring_view name : names) {
        bool inNumber = false;
        for (wchar_t c : name) {
            const unsigned code = static_cast<std::uint16_t>(c);
            seen[code / 64] |= std::uint64_t(1) << (code % 64);
            room += !inNumber && Digit(c) ? 3 : 1;
            inNumber = Digit(c);
        }
    }
    std::vector<wchar_t> characters;
    for (unsigned code = 0; code < 0x10000; ++code)
        if ((seen[code / 64] >> (code % 64)) & 1 && !Digit(static_cast<wchar_t>(code)))
            characters.push_back(static_cast<wchar_t>(code));
    std::vector<std::string> collation;
    CharacterKeys(characters.data(), characters.size(), collation);
    std::vector<std::size_t> byKey(characters.size());
    std::iota(byKey.begin(), byKey.end(), std::size_t(0));
    std::sort(byKey.begin(), byKey.end(),
              [&](std::size_t a, std::size_t b) { return collation[a] < collation[b]; });
    // Fewer than 0x10000 - 10 ranks: a key's unit holds any of them.
    std::vector<char16_t> rank(0x10000);
    char16_t next = kFirstRank;
    for (std::size_t i = 0; i < byKey.size(); ++i) {
        if (i > 0 && collation[byKey[i]] != collation[byKey[i - 1]])
            ++next;
        rank[static_cast<std::uint16_t>(characters[byKey[i]])] = next;
    }

    keys_.resize(room);
    starts_.resize(names.size() + 1);
    char16_t* key = keys_.data();
    for (std::size_t index = 0; index < names.size(); ++index) {
        starts_[index] = static_cast<std::size_t>(key - keys_.data());
        const std::wstring_view name = names[index];
        for (std::size_t i = 0; i < name.size();) {
            if (!Digit(name[i])) {
                *key++ = rank[static_cast<std::uint16_t>(name[i++])];
                continue;
            }
            std::size_t end = i;
            while (end < name.size() && Digit(name[end]))
                ++end;
            while (i + 1 < end && name[i] == L'0')
                ++i;
            *key++ = kNumber;
            *key++ = static_cast<char16_t>(end - i);
            while (i < end)
                *key++ = static_cast<char16_t>(name[i++]);
        }
    }
    starts_[names.size()] = static_cast<std::size_t>(key - keys_.data());
    keys_.resize(starts_[names.size()]);
}

int NameOrder::Compare(std::size_t a, std::size_t b) const {
    const char16_t* one = keys_.data() + starts_[a];
    const char16_t* other = keys_.data() + starts_[b];
    const std::size_t oneLength = starts_[a + 1] - starts_[a];
    const std::size_t otherLength = starts_[b + 1] - starts_[b];
    const std::size_t common = oneLength < otherLength ? oneLength : otherLength;
    for (std::size_t i = 0; i < common; ++i)
        if (one[i] != other[i])
            return one[i] < other[i] ? -1 : 1;
    return oneLength == otherLength ? 0 : oneLength < otherLength ? -1 : 1;
}

} // namespace rb
