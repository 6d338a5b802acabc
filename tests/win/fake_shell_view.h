// Test objects standing in for an Explorer window's shell view: the view with its folder
// view and column manager, and the folder that gives the cells. They implement what the
// export reads; everything else answers E_NOTIMPL.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <map>
#include <string>
#include <vector>

namespace rbtest {

// The name column's key, and a key of this test's own for any other column.
PROPERTYKEY NameKey();
PROPERTYKEY TestKey(DWORD pid);

struct FakeViewColumn {
    PROPERTYKEY key;
    std::wstring caption;
    UINT width;
};

class FakeFolder : public IShellFolder2 {
public:
    // Cells by item name, then by key.
    std::map<std::wstring, std::map<std::wstring, std::wstring>> cells;
    // The folder's own detail columns, in its order; a key not among them is read
    // through GetDetailsEx.
    std::vector<PROPERTYKEY> detailColumns;

    void SetCell(const std::wstring& item, const PROPERTYKEY& key, const std::wstring& text);

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP ParseDisplayName(HWND, IBindCtx*, LPWSTR, ULONG*, LPITEMIDLIST*, ULONG*) override;
    STDMETHODIMP EnumObjects(HWND, SHCONTF, IEnumIDList**) override;
    STDMETHODIMP BindToObject(LPCITEMIDLIST, IBindCtx*, REFIID, void**) override;
    STDMETHODIMP BindToStorage(LPCITEMIDLIST, IBindCtx*, REFIID, void**) override;
    STDMETHODIMP CompareIDs(LPARAM, LPCITEMIDLIST, LPCITEMIDLIST) override;
    STDMETHODIMP CreateViewObject(HWND, REFIID, void**) override;
    STDMETHODIMP GetAttributesOf(UINT, LPCITEMIDLIST*, SFGAOF*) override;
    STDMETHODIMP GetUIObjectOf(HWND, UINT, LPCITEMIDLIST*, REFIID, UINT*, void**) override;
    STDMETHODIMP GetDisplayNameOf(LPCITEMIDLIST, SHGDNF, STRRET*) override;
    STDMETHODIMP SetNameOf(HWND, LPCITEMIDLIST, LPCWSTR, SHGDNF, LPITEMIDLIST*) override;
    STDMETHODIMP GetDefaultSearchGUID(GUID*) override;
    STDMETHODIMP EnumSearches(IEnumExtraSearch**) override;
    STDMETHODIMP GetDefaultColumn(DWORD, ULONG*, ULONG*) override;
    STDMETHODIMP GetDefaultColumnState(UINT, SHCOLSTATEF*) override;
    STDMETHODIMP GetDetailsEx(LPCITEMIDLIST, const SHCOLUMNID*, VARIANT*) override;
    STDMETHODIMP GetDetailsOf(LPCITEMIDLIST, UINT, SHELLDETAILS*) override;
    STDMETHODIMP MapColumnToSCID(UINT, SHCOLUMNID*) override;
};

class FakeView : public IShellView, public IFolderView, public IColumnManager {
public:
    std::vector<FakeViewColumn> columns; // visible ones, in display order
    std::vector<std::wstring> items;     // in view order
    FakeFolder folder;
    // What refuses.
    bool withColumnManager = true;
    bool columnsFail = false;
    bool itemListFails = false; // Items() fails; ItemCount and Item still answer
    bool itemsFailEntirely = false;
    bool withFolder = true;
    HWND window = nullptr; // what GetWindow answers; none: E_NOTIMPL

    // An ID list of one item holding the name.
    static LPITEMIDLIST MakeItem(const std::wstring& name);
    static std::wstring NameOf(LPCITEMIDLIST item);

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    // IOleWindow, IShellView
    STDMETHODIMP GetWindow(HWND*) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override;
    STDMETHODIMP TranslateAccelerator(MSG*) override;
    STDMETHODIMP EnableModeless(BOOL) override;
    STDMETHODIMP UIActivate(UINT) override;
    STDMETHODIMP Refresh() override;
    STDMETHODIMP CreateViewWindow(IShellView*, LPCFOLDERSETTINGS, IShellBrowser*, RECT*,
                                  HWND*) override;
    STDMETHODIMP DestroyViewWindow() override;
    STDMETHODIMP GetCurrentInfo(LPFOLDERSETTINGS) override;
    STDMETHODIMP AddPropertySheetPages(DWORD, LPFNSVADDPROPSHEETPAGE, LPARAM) override;
    STDMETHODIMP SaveViewState() override;
    STDMETHODIMP SelectItem(LPCITEMIDLIST, SVSIF) override;
    STDMETHODIMP GetItemObject(UINT, REFIID, void**) override;
    // IFolderView
    STDMETHODIMP GetCurrentViewMode(UINT*) override;
    STDMETHODIMP SetCurrentViewMode(UINT) override;
    STDMETHODIMP GetFolder(REFIID, void**) override;
    STDMETHODIMP Item(int, LPITEMIDLIST*) override;
    STDMETHODIMP ItemCount(UINT, int*) override;
    STDMETHODIMP Items(UINT, REFIID, void**) override;
    STDMETHODIMP GetSelectionMarkedItem(int*) override;
    STDMETHODIMP GetFocusedItem(int*) override;
    STDMETHODIMP GetItemPosition(LPCITEMIDLIST, POINT*) override;
    STDMETHODIMP GetSpacing(POINT*) override;
    STDMETHODIMP GetDefaultSpacing(POINT*) override;
    STDMETHODIMP GetAutoArrange() override;
    STDMETHODIMP SelectItem(int, DWORD) override;
    STDMETHODIMP SelectAndPositionItems(UINT, LPCITEMIDLIST*, POINT*, DWORD) override;
    // IColumnManager
    STDMETHODIMP SetColumnInfo(REFPROPERTYKEY, const CM_COLUMNINFO*) override;
    STDMETHODIMP GetColumnInfo(REFPROPERTYKEY, CM_COLUMNINFO*) override;
    STDMETHODIMP GetColumnCount(CM_ENUM_FLAGS, UINT*) override;
    STDMETHODIMP GetColumns(CM_ENUM_FLAGS, PROPERTYKEY*, UINT) override;
    STDMETHODIMP SetColumns(const PROPERTYKEY*, UINT) override;
};

} // namespace rbtest
