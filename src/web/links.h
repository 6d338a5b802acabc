// The maker's web addresses, the search link and the recommendation mail text.
#pragma once

#include <array>
#include <string>

namespace rb {

// The product name shown in links and mails; "Rubrikator" until refreshed from the
// module's string resource 128 (see RefreshProductName).
std::string ProductName();
void SetProductName(const std::string& name);

// Base address of the maker's main web site, ending in "/"; callers append a query
// that begins with "?".
std::string MainSiteAddress();
// Base address of the maker's second web site, which hosts the search page.
std::string SecondSiteAddress();

// Bytes left as they are by PercentEncode: A-Z, a-z, 0-9 and * + - . / _ (a non-zero
// entry marks them; "=" has one too but is always encoded).
extern const std::array<unsigned int, 256> SafeCharacters;

// "&" and "=" as %26 and %3D, safe bytes unchanged, a blank as "+", every other byte
// (0x80 to 0xFF included) as "%" and two upper-case hex digits. Empty when out of memory.
std::string PercentEncode(const std::string& text);

// Second site + first fixed part + encoded term + second fixed part + product name.
// The second argument is not used.
std::string MakeSearchLink(const std::string& term, const std::string& unused = std::string());

// The recommendation mail body before its three "#####" are replaced; CR LF line ends.
std::string MailTemplate();

} // namespace rb
