#include "columns/option_store.h"

#include "columns/options.h"
#include "common/text.h"
#include "common/win_handles.h"

#include <cstdio>
#include <cstring>

namespace rb {

namespace {

// Every access opens (and creates) the key afresh and closes it right after.
UniqueKey OpenOptionsKey() {
    UniqueKey key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kOptionsKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, key.put(), nullptr) != ERROR_SUCCESS)
        key.release();
    return key;
}

} // namespace

int ReadIntOption(const char* name, int defaultValue) {
    // One byte more than the query may fill keeps an unterminated value bounded.
    char buffer[1025] = {};
    std::snprintf(buffer, 1024, "%d", defaultValue);
    UniqueKey key = OpenOptionsKey();
    if (key) {
        DWORD size = 1024;
        LONG status = RegQueryValueExA(key.get(), name, nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(buffer), &size);
        if (status == ERROR_SUCCESS) {
            if (size < sizeof buffer)
                buffer[size] = '\0';
        } else {
            std::snprintf(buffer, 1024, "%d", defaultValue);
        }
    }
    return ParseLeadingInt(buffer);
}

long WriteIntOption(const char* name, int value) {
    char text[16];
    int length = std::snprintf(text, sizeof text, "%d", value);
    UniqueKey key = OpenOptionsKey();
    if (!key)
        return ERROR_ACCESS_DENIED;
    return RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(length + 1));
}

bool RememberFolderSizes() {
    return ReadIntOption(kRememberSizesOption, 1) != 0;
}

void LoadOptions() {
    OptionSet& o = Options();
    auto load = [](std::atomic<int>& option, const char* name) {
        option = ReadIntOption(name, option.load());
    };
    load(o.nachkommanteil, kOptNachkommanteil);
    load(o.tausenderGroesse, kOptTausenderGroesse);
    load(o.tausenderOrdner, kOptTausenderOrdner);
    load(o.tausenderDateien, kOptTausenderDateien);
    load(o.dateiGroesse, kOptDateiGroesse);
    load(o.groesseTyp, kOptGroesseTyp);
}

} // namespace rb
