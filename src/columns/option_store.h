// Integer options kept as decimal REG_SZ texts under
// HKEY_CURRENT_USER\Software\Werkhaus\Rubrikator\Optionen.
#pragma once

namespace rb {

constexpr const char* kOptionsKey = "Software\\Werkhaus\\Rubrikator\\Optionen";

// Whether walked trees are saved at closing and shown at the next opening (default 1).
constexpr const char* kRememberSizesOption = "ordner_merken";

// The stored value, or `defaultValue` when there is none (or the key can't be opened).
int ReadIntOption(const char* name, int defaultValue);

// Stores "%d" of `value`; returns the registry status, which callers may ignore.
long WriteIntOption(const char* name, int value);

// The option kRememberSizesOption, read afresh.
bool RememberFolderSizes();

// Refreshes the six formatting options; a missing value keeps the in-memory setting.
void LoadOptions();

} // namespace rb
