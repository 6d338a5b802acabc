#include "common/win_text.h"

#include "common/text.h"

namespace rb {

std::wstring AnsiToWide(const char* text) {
    if (!text || !*text)
        return std::wstring();
    int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1)
        return std::wstring();
    std::wstring result(static_cast<size_t>(length - 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &result[0], length);
    return result;
}

std::string WideToAnsi(const wchar_t* text) {
    if (!text || !*text)
        return std::string();
    int length = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1)
        return std::string();
    std::string result(static_cast<size_t>(length - 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, &result[0], length, nullptr, nullptr);
    return result;
}

void WideToAnsi(const wchar_t* text, char* target, int capacity) {
    if (capacity <= 0)
        return;
    target[0] = '\0';
    if (!text)
        return;
    std::string whole = WideToAnsi(text);
    size_t length = whole.size() < static_cast<size_t>(capacity - 1)
                        ? whole.size()
                        : static_cast<size_t>(capacity - 1);
    whole.copy(target, length);
    target[length] = '\0';
}

std::string WideToUtf8(const std::wstring& text) {
    if (text.empty())
        return std::string();
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0],
                            length, nullptr, nullptr);
    return result;
}

std::string SystemMessage(DWORD error) {
    char* text = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length && text ? std::string(text, length) : std::string();
    if (text)
        LocalFree(text);
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message.empty() ? Format("Fehler %lu", static_cast<unsigned long>(error)) : message;
}

} // namespace rb
