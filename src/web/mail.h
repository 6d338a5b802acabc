// The recommendation mail through Simple MAPI, and the product name from the resources.
#pragma once

#include <windows.h>

namespace rb {

// Loads string resource 128 of the module into the product name (empty when missing).
void RefreshProductName();

// Opens the mail program's compose window with the recommendation text. True when the
// mail was handed over or the user cancelled; false without a mail program or owner.
bool SendRecommendationMail(HWND owner, const char* attachmentPath, const char* subject);

} // namespace rb
