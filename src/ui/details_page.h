// The details page: one folder listed with all twelve column values of every item.
#pragma once

#include "ui/page.h"

#include <shlobj.h>

namespace rb {

class DetailsPage : public Page {
public:
    DetailsPage();
    // Lists the folder `folder` (absolute ID list) anew.
    void Fill(LPCITEMIDLIST folder);
};

} // namespace rb
