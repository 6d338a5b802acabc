#include "common/name_order.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

namespace rb {
namespace {

// Random names of letters, digits, hyphens, full stops, spaces and umlauts; every pair
// is antisymmetric and every triple transitive, equal names included (RB_SEED: another
// seed).
TEST(NameOrder, IsAStrictWeakOrderOnRandomNames) {
    const char* seed = std::getenv("RB_SEED");
    std::mt19937 random(seed ? static_cast<unsigned>(std::strtoul(seed, nullptr, 10)) : 2024u);
    const std::wstring alphabet = L"aAbz019-. \u00e4\u00c4\u00f6\u00fc\u00df";
    std::vector<std::wstring> names(70);
    for (std::wstring& name : names)
        for (std::size_t length = random() % 7; length > 0; --length)
            name += alphabet[random() % alphabet.size()];
    std::vector<std::wstring_view> views(names.begin(), names.end());
    NameOrder order;
    order.Make(views);
    const std::size_t n = names.size();
    for (std::size_t a = 0; a < n; ++a)
        for (std::size_t b = 0; b < n; ++b) {
            ASSERT_EQ(order.Compare(a, b), -order.Compare(b, a)) << names[a] << L" | " << names[b];
            for (std::size_t c = 0; c < n; ++c) {
                const int ab = order.Compare(a, b), bc = order.Compare(b, c);
                if (ab > 0 || bc > 0)
                    continue;
                ASSERT_EQ(order.Compare(a, c), ab < 0 || bc < 0 ? -1 : 0)
                    << names[a] << L" | " << names[b] << L" | " << names[c];
            }
        }
}

} // namespace
} // namespace rb
