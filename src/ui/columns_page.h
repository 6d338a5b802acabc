// The columns settings page: the twelve columns, a description of each, and the
// formatting options of the folder size and the two counts.
#pragma once

#include "ui/page.h"

namespace rb {

class ColumnsPage : public Page {
public:
    ColumnsPage();
};

} // namespace rb
