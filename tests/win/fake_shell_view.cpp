#include "fake_shell_view.h"

#include <cstring>

namespace rbtest {

namespace {

const GUID kTestColumns = {
    0x5b1c6e2a, 0x0d3f, 0x4e61, {0x9a, 0x77, 0x21, 0x3c, 0x44, 0x8e, 0x10, 0x01}};

std::wstring Key(const PROPERTYKEY& key) {
    wchar_t guid[40] = {};
    StringFromGUID2(key.fmtid, guid, 40);
    return std::wstring(guid) + L"/" + std::to_wstring(key.pid);
}

HRESULT Copy(const std::wstring& text, STRRET* out) {
    out->uType = STRRET_WSTR;
    out->pOleStr = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
    std::memcpy(out->pOleStr, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    return S_OK;
}

// The items in view order, handed out one by one.
class ItemEnumerator : public IEnumIDList {
public:
    explicit ItemEnumerator(const std::vector<std::wstring>& items) : items_(items) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IEnumIDList))
            return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG left = --references_;
        if (!left)
            delete this;
        return left;
    }
    STDMETHODIMP Next(ULONG count, LPITEMIDLIST* out, ULONG* fetched) override {
        ULONG got = 0;
        while (got < count && next_ < items_.size())
            out[got++] = FakeView::MakeItem(items_[next_++]);
        if (fetched)
            *fetched = got;
        return got == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        next_ += count;
        return S_OK;
    }
    STDMETHODIMP Reset() override {
        next_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumIDList**) override { return E_NOTIMPL; }

private:
    virtual ~ItemEnumerator() = default;
    std::vector<std::wstring> items_;
    std::size_t next_ = 0;
    ULONG references_ = 1;
};

} // namespace

PROPERTYKEY NameKey() {
    return {{0xb725f130, 0x47ef, 0x101a, {0xa5, 0xf1, 0x02, 0x60, 0x8c, 0x9e, 0xeb, 0xac}}, 10};
}

PROPERTYKEY TestKey(DWORD pid) {
    return {kTestColumns, pid};
}

LPITEMIDLIST FakeView::MakeItem(const std::wstring& name) {
    USHORT size = static_cast<USHORT>(sizeof(USHORT) + (name.size() + 1) * sizeof(wchar_t));
    auto* bytes = static_cast<BYTE*>(CoTaskMemAlloc(size + sizeof(USHORT)));
    std::memcpy(bytes, &size, sizeof size);
    std::memcpy(bytes + sizeof size, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
    std::memset(bytes + size, 0, sizeof(USHORT));
    return reinterpret_cast<LPITEMIDLIST>(bytes);
}

std::wstring FakeView::NameOf(LPCITEMIDLIST item) {
    return reinterpret_cast<const wchar_t*>(reinterpret_cast<const BYTE*>(item) + sizeof(USHORT));
}

void FakeFolder::SetCell(const std::wstring& item, const PROPERTYKEY& key,
                         const std::wstring& text) {
    cells[item][Key(key)] = text;
}

STDMETHODIMP FakeFolder::QueryInterface(REFIID iid, void** out) {
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IShellFolder) ||
        IsEqualIID(iid, IID_IShellFolder2))
        *out = static_cast<IShellFolder2*>(this);
    return *out ? S_OK : E_NOINTERFACE;
}

STDMETHODIMP FakeFolder::ParseDisplayName(HWND, IBindCtx*, LPWSTR, ULONG*, LPITEMIDLIST*, ULONG*) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeFolder::EnumObjects(HWND, SHCONTF, IEnumIDList**) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeFolder::BindToObject(LPCITEMIDLIST, IBindCtx*, REFIID, void**) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeFolder::BindToStorage(LPCITEMIDLIST, IBindCtx*, REFIID, void**) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeFolder::CompareIDs(LPARAM, LPCITEMIDLIST, LPCITEMIDLIST) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeFolder::CreateViewObject(HWND, REFIID, void**) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeFolder::GetAttributesOf(UINT, LPCITEMIDLIST*, SFGAOF*) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeFolder::GetUIObjectOf(HWND, UINT, LPCITEMIDLIST*, REFIID, UINT*, void**) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeFolder::GetDisplayNameOf(LPCITEMIDLIST, SHGDNF, STRRET*) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeFolder::SetNameOf(HWND, LPCITEMIDLIST, LPCWSTR, SHGDNF, LPITEMIDLIST*) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeFolder::GetDefaultSearchGUID(GUID*) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeFolder::EnumSearches(IEnumExtraSearch**) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeFolder::GetDefaultColumn(DWORD, ULONG*, ULONG*) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeFolder::GetDefaultColumnState(UINT, SHCOLSTATEF*) {
    return E_NOTIMPL;
}

STDMETHODIMP FakeFolder::GetDetailsEx(LPCITEMIDLIST item, const SHCOLUMNID* key, VARIANT* value) {
    auto row = cells.find(FakeView::NameOf(item));
    if (row == cells.end())
        return E_FAIL;
    auto cell = row->second.find(Key(*key));
    if (cell == row->second.end())
        return E_FAIL;
    // A number where it looks like one, as properties are; text otherwise.
    VariantInit(value);
    wchar_t* end = nullptr;
    unsigned long long number = wcstoull(cell->second.c_str(), &end, 10);
    if (!cell->second.empty() && end && *end == 0) {
        value->vt = VT_UI8;
        value->ullVal = number;
    } else {
        value->vt = VT_BSTR;
        value->bstrVal = SysAllocString(cell->second.c_str());
    }
    return S_OK;
}

STDMETHODIMP FakeFolder::GetDetailsOf(LPCITEMIDLIST item, UINT column, SHELLDETAILS* details) {
    if (!item || column >= detailColumns.size())
        return E_FAIL;
    auto row = cells.find(FakeView::NameOf(item));
    if (row == cells.end())
        return E_FAIL;
    auto cell = row->second.find(Key(detailColumns[column]));
    return Copy(cell == row->second.end() ? L"" : cell->second, &details->str);
}

STDMETHODIMP FakeFolder::MapColumnToSCID(UINT column, SHCOLUMNID* key) {
    if (column >= detailColumns.size())
        return E_FAIL;
    *key = detailColumns[column];
    return S_OK;
}

STDMETHODIMP FakeView::QueryInterface(REFIID iid, void** out) {
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleWindow) ||
        IsEqualIID(iid, IID_IShellView))
        *out = static_cast<IShellView*>(this);
    else if (IsEqualIID(iid, IID_IFolderView))
        *out = static_cast<IFolderView*>(this);
    else if (withColumnManager && IsEqualIID(iid, IID_IColumnManager))
        *out = static_cast<IColumnManager*>(this);
    return *out ? S_OK : E_NOINTERFACE;
}

STDMETHODIMP FakeView::GetWindow(HWND* out) {
    if (!window)
        return E_NOTIMPL;
    *out = window;
    return S_OK;
}
STDMETHODIMP FakeView::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeView::TranslateAccelerator(MSG*) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeView::EnableModeless(BOOL) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeView::UIActivate(UINT) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeView::Refresh() {
    return E_NOTIMPL;
}
STDMETHODIMP FakeView::CreateViewWindow(IShellView*, LPCFOLDERSETTINGS, IShellBrowser*, RECT*,
                                        HWND*) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeView::DestroyViewWindow() {
    return E_NOTIMPL;
}
STDMETHODIMP FakeView::GetCurrentInfo(LPFOLDERSETTINGS) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeView::AddPropertySheetPages(DWORD, LPFNSVADDPROPSHEETPAGE, LPARAM) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeView::SaveViewState() {
    return E_NOTIMPL;
}
STDMETHODIMP FakeView::SelectItem(LPCITEMIDLIST, SVSIF) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeView::GetItemObject(UINT, REFIID, void**) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeView::GetCurrentViewMode(UINT*) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeView::SetCurrentViewMode(UINT) {
    return E_NOTIMPL;
}

STDMETHODIMP FakeView::GetFolder(REFIID iid, void** out) {
    *out = nullptr;
    return withFolder ? folder.QueryInterface(iid, out) : E_FAIL;
}

STDMETHODIMP FakeView::Item(int index, LPITEMIDLIST* out) {
    *out = nullptr;
    if (itemsFailEntirely || index < 0 || static_cast<std::size_t>(index) >= items.size())
        return E_FAIL;
    *out = MakeItem(items[static_cast<std::size_t>(index)]);
    return S_OK;
}

STDMETHODIMP FakeView::ItemCount(UINT, int* count) {
    if (itemsFailEntirely)
        return E_FAIL;
    *count = static_cast<int>(items.size());
    return S_OK;
}

STDMETHODIMP FakeView::Items(UINT flags, REFIID iid, void** out) {
    *out = nullptr;
    if (itemListFails || itemsFailEntirely || !IsEqualIID(iid, IID_IEnumIDList) ||
        !(flags & SVGIO_FLAG_VIEWORDER))
        return E_FAIL;
    *out = static_cast<IEnumIDList*>(new ItemEnumerator(items));
    return S_OK;
}

STDMETHODIMP FakeView::GetSelectionMarkedItem(int*) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeView::GetFocusedItem(int*) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeView::GetItemPosition(LPCITEMIDLIST, POINT*) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeView::GetSpacing(POINT*) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeView::GetDefaultSpacing(POINT*) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeView::GetAutoArrange() {
    return E_NOTIMPL;
}
STDMETHODIMP FakeView::SelectItem(int, DWORD) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeView::SelectAndPositionItems(UINT, LPCITEMIDLIST*, POINT*, DWORD) {
    return E_NOTIMPL;
}
STDMETHODIMP FakeView::SetColumnInfo(REFPROPERTYKEY, const CM_COLUMNINFO*) {
    return E_NOTIMPL;
}

STDMETHODIMP FakeView::GetColumnInfo(REFPROPERTYKEY key, CM_COLUMNINFO* info) {
    for (const FakeViewColumn& column : columns) {
        if (IsEqualGUID(column.key.fmtid, key.fmtid) && column.key.pid == key.pid) {
            if (info->dwMask & CM_MASK_NAME)
                lstrcpynW(info->wszName, column.caption.c_str(), 80);
            if (info->dwMask & CM_MASK_WIDTH)
                info->uWidth = column.width;
            return S_OK;
        }
    }
    return E_INVALIDARG;
}

STDMETHODIMP FakeView::GetColumnCount(CM_ENUM_FLAGS flags, UINT* count) {
    if (columnsFail || flags != CM_ENUM_VISIBLE)
        return E_FAIL;
    *count = static_cast<UINT>(columns.size());
    return S_OK;
}

STDMETHODIMP FakeView::GetColumns(CM_ENUM_FLAGS flags, PROPERTYKEY* keys, UINT count) {
    if (columnsFail || flags != CM_ENUM_VISIBLE || count > columns.size())
        return E_FAIL;
    for (UINT i = 0; i < count; ++i)
        keys[i] = columns[i].key;
    return S_OK;
}

STDMETHODIMP FakeView::SetColumns(const PROPERTYKEY*, UINT) {
    return E_NOTIMPL;
}

} // namespace rbtest
