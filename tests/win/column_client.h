// Asks a handler object for column values the way the shell does.
#pragma once

#include <gtest/gtest.h>

#include "com/guids.h"
#include "module/handler.h"

#include <shlobj.h>
#include <string>

namespace rbtest {

struct Provider {
    IColumnProvider* p = nullptr;
    Provider() {
        EXPECT_EQ(rb::RubrikatorHandler::Create(nullptr, rb::kIidIColumnProvider,
                                                reinterpret_cast<void**>(&p)),
                  S_OK);
    }
    ~Provider() {
        if (p)
            p->Release();
    }
    Provider(const Provider&) = delete;
    Provider& operator=(const Provider&) = delete;
    IColumnProvider* operator->() const { return p; }
};

inline SHCOLUMNDATA Item(const std::wstring& path, DWORD attributes, const wchar_t* extension) {
    SHCOLUMNDATA item = {};
    item.dwFileAttributes = attributes;
    item.pwszExt = const_cast<wchar_t*>(extension);
    lstrcpynW(item.wszFile, path.c_str(), MAX_PATH);
    return item;
}

// The item's own attributes and extension, as the shell would pass them.
inline SHCOLUMNDATA ItemOf(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        attributes = 0;
    static thread_local std::wstring extension;
    size_t dot = path.find_last_of(L'.');
    size_t slash = path.find_last_of(L'\\');
    bool hasExtension = dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash) &&
                        !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    extension = hasExtension ? path.substr(dot) : std::wstring();
    return Item(path, attributes, hasExtension ? extension.c_str() : nullptr);
}

struct Answer {
    HRESULT hr;
    VARTYPE vt;
    std::wstring text;
};

inline Answer Ask(IColumnProvider* provider, DWORD pid, const SHCOLUMNDATA& item,
                  const GUID& fmtid = rb::kClsidRubrikatorHandler) {
    SHCOLUMNID column = {fmtid, pid};
    VARIANT result;
    VariantInit(&result);
    Answer answer;
    answer.hr = provider->GetItemData(&column, &item, &result);
    answer.vt = result.vt;
    if (result.vt == VT_BSTR && result.bstrVal)
        answer.text.assign(result.bstrVal, SysStringLen(result.bstrVal));
    VariantClear(&result);
    return answer;
}

// The text of column `pid` for `path`, or "<none>" when the column has no value.
inline std::wstring Text(IColumnProvider* provider, DWORD pid, const std::wstring& path) {
    Answer a = Ask(provider, pid, ItemOf(path));
    if (a.hr == S_FALSE && a.vt == VT_EMPTY)
        return L"<none>";
    return a.text;
}

} // namespace rbtest
