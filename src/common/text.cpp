#include "common/text.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace rb {

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string result;
    if (length > 0) {
        result.resize(static_cast<std::size_t>(length));
        std::vsnprintf(&result[0], result.size() + 1, format, again);
    }
    va_end(again);
    return result;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty())
        return;
    std::size_t at = text.find(from);
    if (at == std::string::npos)
        return;
    std::string result;
    result.reserve(text.size());
    std::size_t done = 0;
    while (at != std::string::npos) {
        result.append(text, done, at - done);
        result += to;
        done = at + from.size();
        at = text.find(from, done);
    }
    result.append(text, done, std::string::npos);
    text.swap(result);
}

std::size_t CopyBounded(char* target, std::size_t capacity, const char* source) {
    if (capacity == 0)
        return 0;
    std::size_t length = source ? strnlen(source, capacity - 1) : 0;
    if (length)
        std::memcpy(target, source, length);
    target[length] = '\0';
    return length;
}

int ParseLeadingInt(const char* text) {
    if (!text)
        return 0;
    while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        value = INT_MAX;
    return static_cast<int>(value);
}

} // namespace rb
