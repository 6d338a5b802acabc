#include "shell/desk_band.h"

#include "com/activation.h"

namespace rb {

namespace {

const wchar_t kBandTitle[] = L"Querbalken";
const char kBandText[] = "The Querbalken DeskBand";
constexpr DWORD kBandStyle = WS_CHILD | WS_VISIBLE | SS_CENTER; // 0x50000001

} // namespace

HRESULT QuerbalkenBand::Create(IUnknown* outer, REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    try {
        return Hand(new QuerbalkenBand(outer), iid, out);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

QuerbalkenBand::~QuerbalkenBand() {
    DestroyBandWindow();
    if (inputSite_)
        inputSite_->Release();
}

const InterfaceEntry* QuerbalkenBand::Interfaces() const {
    using B = QuerbalkenBand;
    static const InterfaceEntry table[] = {
        {&kIidIQuerbalken, InterfaceOffset<B, IQuerbalken>()},
        {&kIidIOleWindow, InterfaceOffset<B, IOleWindow>()},
        {&kIidIDockingWindow, InterfaceOffset<B, IDockingWindow>()},
        {&kIidIObjectWithSite, InterfaceOffset<B, IObjectWithSite>()},
        {&kIidIDeskBand, InterfaceOffset<B, IDeskBand>()},
        {&kIidIPersist, InterfaceOffset<B, IPersist>()},
        {&kIidIPersistStream, InterfaceOffset<B, IPersistStream>()},
        {&kIidIDispatch, InterfaceOffset<B, IQuerbalken>()},
        {nullptr, 0},
    };
    return table;
}

STDMETHODIMP QuerbalkenBand::GetWindow(HWND* window) {
    if (!window)
        return E_INVALIDARG;
    *window = bandWindow_;
    return S_OK;
}

STDMETHODIMP QuerbalkenBand::ContextSensitiveHelp(BOOL enter) {
    contextHelp_ = enter;
    return S_OK;
}

STDMETHODIMP QuerbalkenBand::ShowDW(BOOL show) {
    shown_ = show;
    ShowWindow(bandWindow_, show ? SW_SHOW : SW_HIDE);
    return S_OK;
}

void QuerbalkenBand::DestroyBandWindow() {
    if (bandWindow_ && IsWindow(bandWindow_))
        DestroyWindow(bandWindow_);
    // The handle may be reused by the system for another window: never hand it out again.
    bandWindow_ = nullptr;
}

STDMETHODIMP QuerbalkenBand::CloseDW(DWORD) {
    DestroyBandWindow();
    return S_OK;
}

STDMETHODIMP QuerbalkenBand::ResizeBorderDW(LPCRECT, IUnknown*, BOOL) {
    return E_NOTIMPL;
}

STDMETHODIMP QuerbalkenBand::GetBandInfo(DWORD bandId, DWORD viewMode, DESKBANDINFO* info) {
    bandId_ = bandId;
    viewMode_ = viewMode;
    if (!info)
        return S_OK;
    if (info->dwMask & DBIM_MINSIZE) {
        info->ptMinSize.x = 250;
        info->ptMinSize.y = 20;
    }
    if (info->dwMask & DBIM_MAXSIZE) {
        info->ptMaxSize.x = 0;
        info->ptMaxSize.y = -1;
    }
    if (info->dwMask & DBIM_INTEGRAL) {
        info->ptIntegral.x = 1;
        info->ptIntegral.y = 1;
    }
    if (info->dwMask & DBIM_ACTUAL) {
        info->ptActual.x = 250;
        info->ptActual.y = 20;
    }
    if (info->dwMask & DBIM_TITLE)
        lstrcpynW(info->wszTitle, kBandTitle, sizeof info->wszTitle / sizeof info->wszTitle[0]);
    if (info->dwMask & DBIM_BKCOLOR)
        info->dwMask &= ~static_cast<DWORD>(DBIM_BKCOLOR); // the host keeps its own background
    if (info->dwMask & DBIM_MODEFLAGS)
        info->dwModeFlags = DBIMF_VARIABLEHEIGHT;
    return S_OK;
}

STDMETHODIMP QuerbalkenBand::SetSite(IUnknown* site) {
    if (inputSite_) {
        inputSite_->Release();
        inputSite_ = nullptr;
    }
    if (!site)
        return S_OK;
    parentWindow_ = nullptr;
    IOleWindow* oleWindow = nullptr;
    if (SUCCEEDED(site->QueryInterface(kIidIOleWindow, reinterpret_cast<void**>(&oleWindow))) &&
        oleWindow) {
        oleWindow->GetWindow(&parentWindow_);
        oleWindow->Release();
    }
    if (!IsWindow(parentWindow_))
        return E_FAIL;
    // A window made for an earlier site goes first.
    DestroyBandWindow();
    RECT client = {};
    GetClientRect(parentWindow_, &client);
    {
        ScopedModuleActivation activation;
        bandWindow_ = CreateWindowExA(0, "STATIC", kBandText, kBandStyle, client.left, client.top,
                                      client.right - client.left, client.bottom - client.top,
                                      parentWindow_, nullptr, nullptr, nullptr);
    }
    if (!IsWindow(bandWindow_)) {
        bandWindow_ = nullptr;
        return E_FAIL;
    }
    if (FAILED(site->QueryInterface(kIidIInputObjectSite, reinterpret_cast<void**>(&inputSite_))) ||
        !inputSite_) {
        // A site the band cannot work with keeps no window of it.
        inputSite_ = nullptr;
        DestroyBandWindow();
        return E_FAIL;
    }
    return S_OK;
}

STDMETHODIMP QuerbalkenBand::GetSite(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!inputSite_)
        return E_FAIL;
    return inputSite_->QueryInterface(iid, out);
}

STDMETHODIMP QuerbalkenBand::GetClassID(CLSID* clsid) {
    if (!clsid)
        return E_POINTER;
    *clsid = kClsidQuerbalkenBand;
    return S_OK;
}

STDMETHODIMP QuerbalkenBand::IsDirty() {
    return S_FALSE;
}
STDMETHODIMP QuerbalkenBand::Load(IStream*) {
    return S_OK;
}
STDMETHODIMP QuerbalkenBand::Save(IStream*, BOOL) {
    return S_OK;
}
STDMETHODIMP QuerbalkenBand::GetSizeMax(ULARGE_INTEGER*) {
    return E_NOTIMPL;
}

} // namespace rb
