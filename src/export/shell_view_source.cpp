#include "export/shell_view_source.h"

#include "com/guids.h"
#include "common/win_text.h"

#include <exdisp.h>
#include <shlwapi.h>

namespace rb {

namespace {

const IID kIidIFolderView = {
    0xcde725b0, 0xccc9, 0x4519, {0x91, 0x7e, 0x32, 0x5d, 0x72, 0xfa, 0xb4, 0xce}};
const IID kIidIColumnManager = {
    0xd8ec27bb, 0x3f3b, 0x4042, {0xb1, 0x0a, 0x4a, 0xcf, 0xd9, 0x24, 0xd4, 0x53}};
const IID kIidIEnumIDList = {0x000214f2, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kIidIShellBrowser = {0x000214e2, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kIidIServiceProvider = {
    0x6d5140c1, 0x7436, 0x11ce, {0x80, 0x34, 0x00, 0xaa, 0x00, 0x60, 0x09, 0xfa}};
const IID kIidIWebBrowser2 = {
    0xd30c1661, 0xcdaf, 0x11d0, {0x8a, 0x3e, 0x00, 0xc0, 0x4f, 0xc9, 0xe2, 0x6e}};
const IID kIidIShellWindows = {
    0x85cb6900, 0x4d95, 0x11cf, {0x96, 0x0c, 0x00, 0x80, 0xc7, 0xf4, 0xee, 0x85}};
const CLSID kClsidShellWindows = {
    0x9ba05972, 0xf6a8, 0x11cf, {0xa4, 0x42, 0x00, 0xa0, 0xc9, 0x0a, 0x8f, 0x39}};
const GUID kSidSTopLevelBrowser = {
    0x4c96be40, 0x915c, 0x11cf, {0x99, 0xd3, 0x00, 0xaa, 0x00, 0x4a, 0xe8, 0x37}};
// PKEY_ItemNameDisplay: the name column.
const PROPERTYKEY kNameKey = {
    {0xb725f130, 0x47ef, 0x101a, {0xa5, 0xf1, 0x02, 0x60, 0x8c, 0x9e, 0xeb, 0xac}}, 10};

// No view has more columns than this; a column manager that claims more is not believed.
constexpr UINT kMaxColumns = 1024;
constexpr UINT kMaxDetailColumns = 1024;

bool SameKey(const PROPERTYKEY& a, const PROPERTYKEY& b) {
    return IsEqualGUID(a.fmtid, b.fmtid) && a.pid == b.pid;
}

// The active views of the shell's browsers whose window is `top` or `explorerWindow`; a
// browser without a view gives a null entry.
std::vector<ComPtr<IShellView>> ViewsInShellWindows(HWND top, HWND explorerWindow) {
    std::vector<ComPtr<IShellView>> views;
    ComPtr<IShellWindows> windows;
    if (FAILED(CoCreateInstance(kClsidShellWindows, nullptr, CLSCTX_ALL, kIidIShellWindows,
                                windows.put_void())) ||
        !windows)
        return views;
    long count = 0;
    if (FAILED(windows->get_Count(&count)))
        return views;
    for (long i = 0; i < count; ++i) {
        VARIANT index;
        VariantInit(&index);
        index.vt = VT_I4;
        index.lVal = i;
        ComPtr<IDispatch> item;
        if (FAILED(windows->Item(index, item.put())) || !item)
            continue;
        ComPtr<IWebBrowser2> browser;
        if (FAILED(item->QueryInterface(kIidIWebBrowser2, browser.put_void())) || !browser)
            continue;
        SHANDLE_PTR handle = 0;
        if (FAILED(browser->get_HWND(&handle)))
            continue;
        HWND window = reinterpret_cast<HWND>(handle);
        if (window != top && window != explorerWindow)
            continue;
        // Every tab of a window is a browser of its own, all with the window's handle.
        ComPtr<IServiceProvider> services;
        ComPtr<IShellBrowser> shellBrowser;
        ComPtr<IShellView> view;
        if (SUCCEEDED(browser->QueryInterface(kIidIServiceProvider, services.put_void())) &&
            services &&
            SUCCEEDED(services->QueryService(kSidSTopLevelBrowser, kIidIShellBrowser,
                                             shellBrowser.put_void())) &&
            shellBrowser)
            shellBrowser->QueryActiveShellView(view.put());
        views.push_back(std::move(view));
    }
    return views;
}

ShellViewsLister lister = &ViewsInShellWindows;

ComPtr<IShellView> FindInShellWindows(HWND explorerWindow) {
    if (!explorerWindow || !IsWindow(explorerWindow))
        return ComPtr<IShellView>();
    return ChooseShellView(lister(GetAncestor(explorerWindow, GA_ROOT), explorerWindow),
                           explorerWindow);
}

ShellViewFinder finder = &FindInShellWindows;

} // namespace

ComPtr<IShellView> FindShellView(HWND explorerWindow) {
    return finder(explorerWindow);
}

ComPtr<IShellView> ChooseShellView(const std::vector<ComPtr<IShellView>>& views,
                                   HWND explorerWindow) {
    std::vector<std::pair<IShellView*, HWND>> candidates;
    for (const ComPtr<IShellView>& view : views) {
        HWND window = nullptr;
        if (view && SUCCEEDED(view->GetWindow(&window)))
            candidates.emplace_back(view.get(), window);
        else if (view)
            candidates.emplace_back(view.get(), nullptr);
    }
    auto chosen = [](IShellView* view) {
        ComPtr<IShellView> result;
        view->AddRef();
        *result.put() = view;
        return result;
    };
    // The tab the command came from: its view's window is, or holds, that window.
    for (const auto& candidate : candidates)
        if (candidate.second &&
            (candidate.second == explorerWindow || IsChild(candidate.second, explorerWindow)))
            return chosen(candidate.first);
    // Else the one tab shown; only the active tab's view is visible.
    IShellView* visible = nullptr;
    int shown = 0;
    for (const auto& candidate : candidates)
        if (candidate.second && IsWindowVisible(candidate.second)) {
            visible = candidate.first;
            ++shown;
        }
    if (shown == 1)
        return chosen(visible);
    // A window without tabs has one view, whatever it says of itself; of several tabs
    // none is taken at a guess.
    if (candidates.size() == 1)
        return chosen(candidates.front().first);
    return ComPtr<IShellView>();
}

ShellViewsLister SetShellViewsLister(ShellViewsLister replacement) {
    ShellViewsLister previous = lister;
    lister = replacement ? replacement : &ViewsInShellWindows;
    return previous;
}

ShellViewFinder SetShellViewFinder(ShellViewFinder replacement) {
    ShellViewFinder previous = finder;
    finder = replacement ? replacement : &FindInShellWindows;
    return previous;
}

std::unique_ptr<ShellViewSource> ShellViewSource::Open(IShellView* view) {
    if (!view)
        return nullptr;
    ComPtr<IFolderView> folderView;
    ComPtr<IColumnManager> manager;
    std::unique_ptr<ShellViewSource> source(new ShellViewSource());
    if (FAILED(view->QueryInterface(kIidIFolderView, folderView.put_void())) || !folderView ||
        FAILED(view->QueryInterface(kIidIColumnManager, manager.put_void())) || !manager ||
        FAILED(folderView->GetFolder(kIidIShellFolder2, source->folder_.put_void())) ||
        !source->folder_)
        return nullptr;
    if (!source->ReadColumns(manager.get()) || !source->ReadItems(folderView.get()))
        return nullptr;
    source->MapDetailColumns();
    return source;
}

bool ShellViewSource::ReadColumns(IColumnManager* manager) {
    UINT count = 0;
    if (FAILED(manager->GetColumnCount(CM_ENUM_VISIBLE, &count)) || count > kMaxColumns)
        return false;
    std::vector<PROPERTYKEY> keys(count);
    if (count && FAILED(manager->GetColumns(CM_ENUM_VISIBLE, keys.data(), count)))
        return false;
    for (UINT i = 0; i < count; ++i) {
        CM_COLUMNINFO info = {};
        info.cbSize = sizeof info;
        info.dwMask = CM_MASK_NAME | CM_MASK_WIDTH;
        Column column = {keys[i], std::string(), 0, -1};
        if (SUCCEEDED(manager->GetColumnInfo(keys[i], &info))) {
            info.wszName[sizeof info.wszName / sizeof info.wszName[0] - 1] = L'\0';
            column.caption = WideToAnsi(info.wszName).substr(0, 511);
            column.width = static_cast<int>(info.uWidth);
        }
        if (SameKey(keys[i], kNameKey))
            namePosition_ = static_cast<int>(i);
        columns_.push_back(column);
    }
    return true;
}

bool ShellViewSource::ReadItems(IFolderView* folderView) {
    ComPtr<IEnumIDList> items;
    if (SUCCEEDED(folderView->Items(SVGIO_ALLVIEW | SVGIO_FLAG_VIEWORDER, kIidIEnumIDList,
                                    items.put_void())) &&
        items) {
        for (;;) {
            LPITEMIDLIST item = nullptr;
            ULONG fetched = 0;
            if (items->Next(1, &item, &fetched) != S_OK || !item)
                return true;
            items_.emplace_back(item);
        }
    }
    // Views that give no list of their items give them one by one.
    int count = 0;
    if (FAILED(folderView->ItemCount(SVGIO_ALLVIEW, &count)) || count < 0)
        return false;
    for (int i = 0; i < count; ++i) {
        LPITEMIDLIST item = nullptr;
        if (FAILED(folderView->Item(i, &item)) || !item)
            return false;
        items_.emplace_back(item);
    }
    return true;
}

void ShellViewSource::MapDetailColumns() {
    for (UINT index = 0; index < kMaxDetailColumns; ++index) {
        SHCOLUMNID key = {};
        if (FAILED(folder_->MapColumnToSCID(index, &key)))
            break;
        for (Column& column : columns_)
            if (column.detailIndex < 0 && SameKey(column.key, key))
                column.detailIndex = static_cast<int>(index);
    }
}

int ShellViewSource::Swap(int index) const {
    if (index == 0)
        return namePosition_;
    if (index == namePosition_)
        return 0;
    return index;
}

int ShellViewSource::GetColumnCount() {
    return static_cast<int>(columns_.size());
}

int ShellViewSource::GetDisplayPosition(int column) {
    return column < 0 || column >= GetColumnCount() ? column : Swap(column);
}

int ShellViewSource::GetColumnAtPosition(int position) {
    return position < 0 || position >= GetColumnCount() ? position : Swap(position);
}

std::string ShellViewSource::GetHeaderText(int column) {
    if (column < 0 || column >= GetColumnCount())
        return std::string();
    return columns_[static_cast<std::size_t>(Swap(column))].caption;
}

int ShellViewSource::GetColumnWidth(int column) {
    if (column < 0 || column >= GetColumnCount())
        return 0;
    return columns_[static_cast<std::size_t>(Swap(column))].width;
}

int ShellViewSource::GetItemCount() {
    return static_cast<int>(items_.size());
}

std::string ShellViewSource::GetItemText(int item, int column) {
    if (item < 0 || item >= GetItemCount() || column < 0 || column >= GetColumnCount())
        return std::string();
    const Column& c = columns_[static_cast<std::size_t>(Swap(column))];
    LPCITEMIDLIST list = items_[static_cast<std::size_t>(item)].get();
    wchar_t text[1024] = {};
    if (c.detailIndex >= 0) {
        // The text the folder shows in that column, formatted as the view shows it.
        SHELLDETAILS detail = {};
        if (SUCCEEDED(folder_->GetDetailsOf(list, static_cast<UINT>(c.detailIndex), &detail)) &&
            SUCCEEDED(StrRetToBufW(&detail.str, list, text, sizeof text / sizeof text[0])))
            return WideToAnsi(text);
        return std::string();
    }
    VARIANT value;
    VariantInit(&value);
    std::string result;
    if (SUCCEEDED(folder_->GetDetailsEx(list, &c.key, &value)) &&
        SUCCEEDED(VariantChangeType(&value, &value, VARIANT_ALPHABOOL, VT_BSTR)) &&
        value.vt == VT_BSTR && value.bstrVal)
        result = WideToAnsi(value.bstrVal);
    VariantClear(&value);
    return result;
}

} // namespace rb
