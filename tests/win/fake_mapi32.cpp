// A stand-in MAPI32.DLL placed beside the test programs: it records what MAPISendMail
// receives and answers with a result the test sets.
#include <windows.h>
#include <mapi.h>

#include <string>

namespace {

struct Record {
    int calls = 0;
    ULONG result = SUCCESS_SUCCESS;
    LHANDLE session = 0;
    ULONG_PTR uiParam = 0;
    FLAGS flags = 0;
    ULONG reserved = 0;
    std::string subject, noteText;
    ULONG recipients = 0;
    bool originator = false;
    ULONG files = 0;
    ULONG filePosition = 0;
    ULONG fileFlags = 0;
    std::string filePath, fileName;
    bool fileType = false;
} record;

} // namespace

extern "C" {

#ifndef RB_FAKE_MAPI_WITHOUT_SEND
ULONG WINAPI MAPISendMail(LHANDLE session, ULONG_PTR uiParam, lpMapiMessage message, FLAGS flags,
                          ULONG reserved) {
    ++record.calls;
    record.session = session;
    record.uiParam = uiParam;
    record.flags = flags;
    record.reserved = reserved;
    record.subject = message->lpszSubject ? message->lpszSubject : "<null>";
    record.noteText = message->lpszNoteText ? message->lpszNoteText : "<null>";
    record.recipients = message->nRecipCount;
    record.originator = message->lpOriginator != nullptr;
    record.files = message->nFileCount;
    if (message->nFileCount && message->lpFiles) {
        record.filePosition = message->lpFiles[0].nPosition;
        record.fileFlags = message->lpFiles[0].flFlags;
        record.filePath = message->lpFiles[0].lpszPathName ? message->lpFiles[0].lpszPathName : "";
        record.fileName =
            message->lpFiles[0].lpszFileName ? message->lpFiles[0].lpszFileName : "<null>";
        record.fileType = message->lpFiles[0].lpFileType != nullptr;
    }
    return record.result;
}
#endif

void WINAPI FakeMapiSetResult(ULONG result) {
    record.result = result;
}
int WINAPI FakeMapiCalls() {
    return record.calls;
}
const void* WINAPI FakeMapiRecord() {
    return &record;
}
}
