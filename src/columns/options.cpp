#include "columns/options.h"

namespace rb {

OptionSet& Options() {
    static OptionSet options;
    return options;
}

void OptionSet::ResetToDefaults() {
    groesseTyp = kUnitMegabytes;
    dateiGroesse = 0;
    tausenderGroesse = 1;
    tausenderOrdner = 1;
    tausenderDateien = 1;
    nachkommanteil = 1;
}

SizeFormat CurrentSizeFormat() {
    const OptionSet& o = Options();
    SizeFormat format;
    format.unit = o.groesseTyp.load(std::memory_order_relaxed);
    format.grouping = o.tausenderGroesse.load(std::memory_order_relaxed) != 0;
    format.decimals = o.nachkommanteil.load(std::memory_order_relaxed) != 0;
    return format;
}

} // namespace rb
