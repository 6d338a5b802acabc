// The recommendation mail against the stand-in MAPI32.DLL beside this program.
#include <gtest/gtest.h>

#include "support.h"
#include "web/links.h"
#include "web/mail.h"

#include <mapi.h>

namespace {

// Same layout as in the stand-in DLL.
struct Record {
    int calls;
    ULONG result;
    LHANDLE session;
    ULONG_PTR uiParam;
    FLAGS flags;
    ULONG reserved;
    std::string subject, noteText;
    ULONG recipients;
    bool originator;
    ULONG files;
    ULONG filePosition;
    ULONG fileFlags;
    std::string filePath, fileName;
    bool fileType;
};

class Mail : public testing::Test {
protected:
    void SetUp() override {
        mapi = LoadLibraryA("MAPI32.DLL");
        ASSERT_NE(mapi, nullptr);
        setResult = reinterpret_cast<void(WINAPI*)(ULONG)>(
            reinterpret_cast<void (*)()>(GetProcAddress(mapi, "FakeMapiSetResult")));
        auto get = reinterpret_cast<const void*(WINAPI*)()>(
            reinterpret_cast<void (*)()>(GetProcAddress(mapi, "FakeMapiRecord")));
        ASSERT_TRUE(setResult && get) << "the MAPI32.DLL found is not the test's stand-in";
        record = static_cast<const Record*>(get());
        setResult(SUCCESS_SUCCESS);
        owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(owner, nullptr);
    }
    void TearDown() override {
        DestroyWindow(owner);
        FreeLibrary(mapi);
    }

    HMODULE mapi = nullptr;
    void(WINAPI* setResult)(ULONG) = nullptr;
    const Record* record = nullptr;
    HWND owner = nullptr;
};

TEST_F(Mail, ComposeWindowWithoutRecipientsOrAttachment) {
    int before = record->calls;
    EXPECT_TRUE(rb::SendRecommendationMail(owner, "", "Empfehlung f\xFCr: Rubrikator"));
    ASSERT_EQ(record->calls, before + 1);
    EXPECT_EQ(record->flags, 0x9u);
    EXPECT_EQ(record->session, 0u);
    EXPECT_EQ(record->uiParam, reinterpret_cast<ULONG_PTR>(owner));
    EXPECT_EQ(record->reserved, 0u);
    EXPECT_EQ(record->recipients, 0u);
    EXPECT_FALSE(record->originator);
    EXPECT_EQ(record->files, 0u);
    EXPECT_EQ(record->subject, "Empfehlung f\xFCr: Rubrikator");
    std::string body = rb::MailTemplate();
    size_t at;
    while ((at = body.find("#####")) != std::string::npos)
        body.replace(at, 5, "Rubrikator");
    EXPECT_EQ(record->noteText, body);
    EXPECT_EQ(record->noteText.find("#####"), std::string::npos);
    EXPECT_NE(record->noteText.find("Vor Kurzem habe ich Rubrikator gefunden . \r\n"),
              std::string::npos);
}

TEST_F(Mail, GivenPathBecomesOneAttachment) {
    EXPECT_TRUE(rb::SendRecommendationMail(owner, "C:\\notes\\a.txt", "s"));
    EXPECT_EQ(record->files, 1u);
    EXPECT_EQ(record->filePosition, 0xFFFFFFFFu);
    EXPECT_EQ(record->fileFlags, 0u);
    EXPECT_EQ(record->filePath, "C:\\notes\\a.txt");
    EXPECT_EQ(record->fileName, "");
    EXPECT_FALSE(record->fileType);
}

TEST_F(Mail, LongTextsAreCutToTheirBuffers) {
    std::string longPath = "C:\\" + std::string(400, 'p');
    std::string longSubject(1000, 's');
    EXPECT_TRUE(rb::SendRecommendationMail(owner, longPath.c_str(), longSubject.c_str()));
    EXPECT_EQ(record->filePath, longPath.substr(0, 259));
    EXPECT_EQ(record->subject, longSubject.substr(0, 259));
}

TEST_F(Mail, ResultsThatCountAsHandedOver) {
    struct {
        ULONG result;
        bool expected;
    } cases[] = {{SUCCESS_SUCCESS, true},
                 {MAPI_USER_ABORT, true},
                 {MAPI_E_FAILURE, false},
                 {MAPI_E_LOGON_FAILURE, true},
                 {MAPI_E_INSUFFICIENT_MEMORY, false},
                 {MAPI_E_AMBIGUOUS_RECIPIENT, false}};
    for (const auto& c : cases) {
        setResult(c.result);
        EXPECT_EQ(rb::SendRecommendationMail(owner, "", "s"), c.expected) << c.result;
    }
}

TEST_F(Mail, NoOwnerWindowNoMail) {
    int before = record->calls;
    EXPECT_FALSE(rb::SendRecommendationMail(nullptr, "", "s"));
    HWND gone =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    EXPECT_FALSE(rb::SendRecommendationMail(gone, "", "s"));
    EXPECT_EQ(record->calls, before);
}

TEST(ProductName, ComesFromStringResource128) {
    rb::SetProductName("x");
    rb::RefreshProductName();
    EXPECT_EQ(rb::ProductName(), "Rubrikator");
}

} // namespace
