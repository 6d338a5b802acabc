// The process-wide formatting options and the names they are stored under.
#pragma once

#include <atomic>

namespace rb {

// Value names in the options key.
constexpr const char* kOptGroesseTyp = "groesse_typ";
constexpr const char* kOptDateiGroesse = "datei_groesse";
constexpr const char* kOptTausenderGroesse = "tausender_groesse";
constexpr const char* kOptTausenderOrdner = "tausender_ordner";
constexpr const char* kOptTausenderDateien = "tausender_dateien";
constexpr const char* kOptNachkommanteil = "nachkommanteil";
constexpr const char* kOptListFilter = "ListFilter";
constexpr const char* kOptTabId = "tab_id";
// The details page's sort: its list column (0 the name, 1 to 12 the catalogue's) and
// whether it runs largest first.
constexpr const char* kOptDetailsSpalte = "details_spalte";
constexpr const char* kOptDetailsAbsteigend = "details_absteigend";
// The main dialog's client size in dialog units as last closed, and whether maximised.
constexpr const char* kOptDialogBreite = "dialog_breite";
constexpr const char* kOptDialogHoehe = "dialog_hoehe";
constexpr const char* kOptDialogMaximiert = "dialog_maximiert";

// Size units of groesse_typ.
constexpr int kUnitKilobytes = 0;
constexpr int kUnitMegabytes = 1;
constexpr int kUnitBytes = 2;

// Written by the settings page on the dialog thread and read by column requests on
// shell threads; each option is a single word, so relaxed atomics are enough.
struct OptionSet {
    std::atomic<int> groesseTyp{kUnitMegabytes};
    std::atomic<int> dateiGroesse{0};
    std::atomic<int> tausenderGroesse{1};
    std::atomic<int> tausenderOrdner{1};
    std::atomic<int> tausenderDateien{1};
    std::atomic<int> nachkommanteil{1};

    void ResetToDefaults();
};

OptionSet& Options();

// How a size text is written, taken from the options or given by a caller.
struct SizeFormat {
    int unit = kUnitMegabytes;
    bool grouping = true;
    bool decimals = true;
};

SizeFormat CurrentSizeFormat();

} // namespace rb
