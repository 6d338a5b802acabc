#include "ui/notes_page.h"

#include "resource_ids.h"

namespace rb {

NotesPage::NotesPage() : Page(IDD_NOTES_PAGE) {}

} // namespace rb
