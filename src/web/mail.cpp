#include "web/mail.h"

#include "common/text.h"
#include "com/activation.h"
#include "com/module.h"
#include "web/links.h"

#include <mapi.h>

namespace rb {

namespace {

std::string LoadProductString() {
    char text[256] = {};
    int length = LoadStringA(ModuleInstance(), 128, text, sizeof text);
    return std::string(text, length > 0 ? static_cast<size_t>(length) : 0);
}

} // namespace

void RefreshProductName() {
    SetProductName(LoadProductString());
}

bool SendRecommendationMail(HWND owner, const char* attachmentPath, const char* subject) {
    if (!owner || !IsWindow(owner))
        return false;
    HMODULE mapi;
    {
        ScopedModuleActivation activation;
        mapi = LoadLibraryA("MAPI32.DLL"); // stays loaded: the mail program may keep state
    }
    if (!mapi)
        return false;
    auto send = reinterpret_cast<LPMAPISENDMAIL>(
        reinterpret_cast<void (*)()>(GetProcAddress(mapi, "MAPISendMail")));
    if (!send)
        return false;

    // Both texts are cut to fit their 260-byte buffers.
    char path[260];
    char subjectText[260];
    CopyBounded(path, sizeof path, attachmentPath ? attachmentPath : "");
    CopyBounded(subjectText, sizeof subjectText, subject ? subject : "");
    std::string body = MailTemplate();
    ReplaceAll(body, "#####", LoadProductString());

    char emptyName[1] = "";
    MapiFileDesc attachment = {};
    attachment.nPosition = 0xFFFFFFFF;
    attachment.lpszPathName = path;
    attachment.lpszFileName = emptyName;

    MapiMessage message = {};
    message.lpszSubject = subjectText;
    message.lpszNoteText = &body[0];
    if (path[0]) {
        message.nFileCount = 1;
        message.lpFiles = &attachment;
    }
    ULONG result =
        send(0, reinterpret_cast<ULONG_PTR>(owner), &message, MAPI_LOGON_UI | MAPI_DIALOG, 0);
    return result == SUCCESS_SUCCESS || result == MAPI_USER_ABORT || result == MAPI_E_LOGON_FAILURE;
}

} // namespace rb
