#include "ui/details_page.h"

#include "resource_ids.h"

namespace rb {

DetailsPage::DetailsPage() : Page(IDD_DETAILS_PAGE) {}

void DetailsPage::Fill(LPCITEMIDLIST) {}

} // namespace rb
