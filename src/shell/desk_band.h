// QuerbalkenBand: a horizontal Explorer bar showing a centred static text.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "com/com_object.h"
#include "com/guids.h"

namespace rb {

class QuerbalkenBand : public DispatchImpl<IQuerbalken, &kIidIQuerbalken>,
                       public IDeskBand,
                       public IObjectWithSite,
                       public IPersistStream,
                       public ComObjectBase {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out);

    RB_DELEGATE_IUNKNOWN

    // IOleWindow
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;
    // IDockingWindow
    STDMETHODIMP ShowDW(BOOL show) override;
    STDMETHODIMP CloseDW(DWORD reserved) override;
    STDMETHODIMP ResizeBorderDW(LPCRECT border, IUnknown* site, BOOL reserved) override;
    // IDeskBand
    STDMETHODIMP GetBandInfo(DWORD bandId, DWORD viewMode, DESKBANDINFO* info) override;
    // IObjectWithSite
    STDMETHODIMP SetSite(IUnknown* site) override;
    STDMETHODIMP GetSite(REFIID iid, void** out) override;
    // IPersist, IPersistStream
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(IStream* stream) override;
    STDMETHODIMP Save(IStream* stream, BOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;

    // For tests: what the host told the band last.
    DWORD BandId() const { return bandId_; }
    DWORD ViewMode() const { return viewMode_; }
    BOOL Shown() const { return shown_; }
    BOOL ContextHelp() const { return contextHelp_; }
    HWND ParentWindow() const { return parentWindow_; }

private:
    explicit QuerbalkenBand(IUnknown* outer) : ComObjectBase(outer) {}
    // A band released without CloseDW or SetSite(NULL) still cleans up.
    ~QuerbalkenBand() override;
    const InterfaceEntry* Interfaces() const override;
    void DestroyBandWindow();

    DWORD bandId_ = 0;
    DWORD viewMode_ = 0;
    BOOL shown_ = FALSE;
    BOOL contextHelp_ = FALSE;
    HWND parentWindow_ = nullptr;
    HWND bandWindow_ = nullptr;
    IInputObjectSite* inputSite_ = nullptr;
};

} // namespace rb
