// The notes page: a small notepad kept in a file in the user's documents folder.
#pragma once

#include "ui/page.h"

namespace rb {

class NotesPage : public Page {
public:
    NotesPage();
};

} // namespace rb
