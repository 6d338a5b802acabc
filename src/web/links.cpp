#include "web/links.h"

#include "common/spin_lock.h"

#include <array>
#include <cstddef>
#include <new>

namespace rb {

namespace {

// The character table: every printable ASCII character as a one-character string. The
// link texts are kept only as index sequences into it and assembled when asked for.
constexpr char kFirstCharacter = ' ';
constexpr int kCharacterCount = '~' - ' ' + 1;

struct CharacterTable {
    char entries[kCharacterCount][2];
    constexpr CharacterTable() : entries() {
        for (int i = 0; i < kCharacterCount; ++i) {
            entries[i][0] = static_cast<char>(kFirstCharacter + i);
            entries[i][1] = '\0';
        }
    }
};
constexpr CharacterTable kCharacters;

template <std::size_t N> struct LinkText { std::array<unsigned char, N - 1> indices{}; };

// Turns a literal into table indices at compile time.
template <std::size_t N> constexpr LinkText<N> Encode(const char (&text)[N]) {
    LinkText<N> link;
    for (std::size_t i = 0; i + 1 < N; ++i)
        link.indices[i] = static_cast<unsigned char>(text[i] - kFirstCharacter);
    return link;
}

template <std::size_t N> std::string Assemble(const LinkText<N>& link) {
    std::string text;
    for (unsigned char index : link.indices)
        text += kCharacters.entries[index];
    return text;
}

// The maker's endpoints, all in this one place. The main site must keep its length:
// the recommendation mail's text is 229 characters with it.
constexpr auto kMainSite = Encode("https://werkhaus.example/");
constexpr auto kSecondSite = Encode("https://www.suchhaus.example/");
constexpr auto kSearchBeforeTerm = Encode("suche.php?begriff=");
constexpr auto kSearchBeforeProduct = Encode("&programm=");

SpinLock productNameLock;
std::string& ProductNameText() {
    static std::string name = "Rubrikator";
    return name;
}

constexpr unsigned int kLetter = 0x1, kDigit = 0x2, kMark = 0x4, kSeparator = 0x8;

constexpr std::array<unsigned int, 256> MakeSafeTable() {
    std::array<unsigned int, 256> table{};
    for (int c = 'A'; c <= 'Z'; ++c)
        table[c] = kLetter;
    for (int c = 'a'; c <= 'z'; ++c)
        table[c] = kLetter;
    for (int c = '0'; c <= '9'; ++c)
        table[c] = kDigit;
    for (char c : {'*', '+', '-', '.', '/', '_'})
        table[static_cast<unsigned char>(c)] = kMark;
    table['='] = kSeparator;
    return table;
}

} // namespace

const std::array<unsigned int, 256> SafeCharacters = MakeSafeTable();

std::string ProductName() {
    ScopedSpinLock lock(productNameLock);
    return ProductNameText();
}

void SetProductName(const std::string& name) {
    ScopedSpinLock lock(productNameLock);
    ProductNameText() = name;
}

std::string MainSiteAddress() {
    return Assemble(kMainSite);
}

std::string SecondSiteAddress() {
    return Assemble(kSecondSite);
}

std::string PercentEncode(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::size_t unsafe = 0;
    for (unsigned char c : text)
        if (!SafeCharacters[c])
            ++unsafe;
    std::string result;
    try {
        result.reserve(2 * text.size() + 2 * unsafe + 1);
        for (unsigned char c : text) {
            if (c == '&' || c == '=' || (!SafeCharacters[c] && c != ' ')) {
                result += '%';
                result += kHex[c / 16];
                result += kHex[c % 16];
            } else if (c == ' ') {
                result += '+';
            } else {
                result += static_cast<char>(c);
            }
        }
    } catch (const std::bad_alloc&) {
        return std::string();
    }
    return result;
}

std::string MakeSearchLink(const std::string& term, const std::string&) {
    return SecondSiteAddress() + Assemble(kSearchBeforeTerm) + PercentEncode(term) +
           Assemble(kSearchBeforeProduct) + ProductName();
}

std::string MailTemplate() {
    const std::string site = MainSiteAddress();
    return "Hallo,\r\n"
           "\r\n"
           "Vor Kurzem habe ich ##### gefunden . \r\n"
           "\r\n" +
           std::string(37, '.') +
           "\r\n"
           "\r\n"
           "Webseite: " +
           site +
           "?seite=freware&SID=#####\r\n"
           "Download Link: " +
           site +
           "?Download&SID=#####\r\n"
           "\r\n"
           "Viel Spa\xDF !\r\n";
}

} // namespace rb
