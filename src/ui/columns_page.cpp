#include "ui/columns_page.h"

#include "resource_ids.h"

namespace rb {

ColumnsPage::ColumnsPage() : Page(IDD_COLUMNS_PAGE) {}

} // namespace rb
