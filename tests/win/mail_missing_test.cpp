// Mail programs that cannot be used: a MAPI32.DLL without MAPISendMail beside this
// program, or (RB_NO_MAPI set, mapi32 disabled) none at all.
#include <gtest/gtest.h>

#include "web/mail.h"

#include <cstdlib>

namespace {

TEST(MailWithoutMapi, GivesFalse) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                 nullptr);
    ASSERT_NE(owner, nullptr);
    HMODULE mapi = LoadLibraryA("MAPI32.DLL");
    if (std::getenv("RB_NO_MAPI")) {
        EXPECT_EQ(mapi, nullptr);
    } else {
        ASSERT_NE(mapi, nullptr);
        EXPECT_NE(GetProcAddress(mapi, "FakeMapiCalls"), nullptr);
        EXPECT_EQ(GetProcAddress(mapi, "MAPISendMail"), nullptr);
    }
    EXPECT_FALSE(rb::SendRecommendationMail(owner, "", "subject"));
    if (mapi)
        FreeLibrary(mapi);
    DestroyWindow(owner);
}

} // namespace
