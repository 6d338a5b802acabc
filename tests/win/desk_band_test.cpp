// The horizontal Explorer bar against a test site over a real parent window.
#include <gtest/gtest.h>

#include "activation_probe.h"
#include "com/activation.h"
#include "com/guids.h"
#include "shell/desk_band.h"
#include "support.h"

#include <shlobj.h>

namespace {

// A site with a chosen set of interfaces.
class Site : public IOleWindow, public IInputObjectSite {
public:
    Site(HWND window, bool oleWindow, bool inputSite)
        : window_(window), oleWindow_(oleWindow), inputSite_(inputSite) {}
    LONG references = 1;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (IsEqualIID(iid, rb::kIidIUnknown))
            *out = static_cast<IOleWindow*>(this);
        else if (oleWindow_ && IsEqualIID(iid, rb::kIidIOleWindow))
            *out = static_cast<IOleWindow*>(this);
        else if (inputSite_ && IsEqualIID(iid, rb::kIidIInputObjectSite))
            *out = static_cast<IInputObjectSite*>(this);
        if (!*out)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++references); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--references); }
    STDMETHODIMP GetWindow(HWND* window) override {
        *window = window_;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return S_OK; }
    STDMETHODIMP OnFocusChangeIS(IUnknown*, BOOL) override { return S_OK; }

private:
    HWND window_;
    bool oleWindow_, inputSite_;
};

class DeskBand : public testing::Test {
protected:
    void SetUp() override {
        parent = CreateWindowExW(0, L"STATIC", L"bar host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10,
                                 10, 500, 80, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(parent, nullptr);
        ASSERT_EQ(
            rb::QuerbalkenBand::Create(nullptr, rb::kIidIDeskBand, reinterpret_cast<void**>(&band)),
            S_OK);
        band->QueryInterface(rb::kIidIObjectWithSite, reinterpret_cast<void**>(&withSite));
        object = static_cast<rb::QuerbalkenBand*>(band);
    }
    void TearDown() override {
        withSite->SetSite(nullptr);
        band->CloseDW(0);
        withSite->Release();
        band->Release();
        DestroyWindow(parent);
    }
    HWND BandWindow() {
        HWND window = reinterpret_cast<HWND>(0x1);
        EXPECT_EQ(band->GetWindow(&window), S_OK);
        return window;
    }

    HWND parent = nullptr;
    IDeskBand* band = nullptr;
    IObjectWithSite* withSite = nullptr;
    rb::QuerbalkenBand* object = nullptr;
};

TEST_F(DeskBand, SetSiteMakesTheStaticTextWindow) {
    EXPECT_EQ(BandWindow(), nullptr);
    Site site(parent, true, true);
    ASSERT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&site)), S_OK);
    HWND window = BandWindow();
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(object->ParentWindow(), parent);
    EXPECT_EQ(GetParent(window), parent);
    char className[32] = {}, text[64] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, text, sizeof text);
    EXPECT_STRCASEEQ(className, "Static");
    EXPECT_STREQ(text, "The Querbalken DeskBand");
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)) & 0xFFFF00FFu, 0x50000001u);
    RECT client = {}, own = {};
    GetClientRect(parent, &client);
    GetWindowRect(window, &own);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&own), 2);
    EXPECT_EQ(own.left, client.left);
    EXPECT_EQ(own.top, client.top);
    EXPECT_EQ(own.right, client.right);
    EXPECT_EQ(own.bottom, client.bottom);
    EXPECT_GT(site.references, 1); // the input site is held

    IInputObjectSite* got = nullptr;
    EXPECT_EQ(withSite->GetSite(rb::kIidIInputObjectSite, reinterpret_cast<void**>(&got)), S_OK);
    EXPECT_EQ(got, static_cast<IInputObjectSite*>(&site));
    got->Release();
    IUnknown* none = reinterpret_cast<IUnknown*>(0x1);
    EXPECT_EQ(withSite->GetSite(rb::kIidIDeskBand, reinterpret_cast<void**>(&none)), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);

    EXPECT_EQ(withSite->SetSite(nullptr), S_OK);
    EXPECT_EQ(site.references, 1);
    EXPECT_TRUE(IsWindow(window)); // only CloseDW destroys it
    EXPECT_EQ(withSite->GetSite(rb::kIidIUnknown, reinterpret_cast<void**>(&none)), E_FAIL);
    EXPECT_EQ(none, nullptr);
}

TEST_F(DeskBand, TheWindowIsMadeInTheModulesActivationContext) {
    // The context is the one of the module's manifest: the module itself, then version 6
    // of the common controls.
    HANDLE context = rb::ModuleActivationContext();
    ASSERT_NE(context, INVALID_HANDLE_VALUE);
    std::vector<std::wstring> assemblies = rbtest::AssembliesOf(context);
    ASSERT_EQ(assemblies.size(), 2u);
    EXPECT_EQ(assemblies[0].rfind(L"Werkhaus.Rubrikator,", 0), 0u) << rbtest::Narrow(assemblies[0]);
    EXPECT_NE(assemblies[0].find(L"version=\"1.0.5.1\""), std::wstring::npos);
    EXPECT_EQ(assemblies[1].rfind(L"Microsoft.Windows.Common-Controls,", 0), 0u);
    EXPECT_NE(assemblies[1].find(L"version=\"6.0."), std::wstring::npos);

    Site site(parent, true, true);
    ASSERT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&site)), S_OK);
    EXPECT_TRUE(rbtest::MadeInAManifestContext(BandWindow()));
}

TEST_F(DeskBand, ShowAndCloseTheWindow) {
    EXPECT_EQ(band->ShowDW(TRUE), S_OK); // before SetSite: no window, still S_OK
    EXPECT_EQ(object->Shown(), TRUE);
    Site site(parent, true, true);
    ASSERT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&site)), S_OK);
    HWND window = BandWindow();
    EXPECT_EQ(band->ShowDW(FALSE), S_OK);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(object->Shown(), FALSE);
    EXPECT_EQ(band->ShowDW(TRUE), S_OK);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(band->CloseDW(0), S_OK);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(BandWindow(), nullptr); // never the handle of a destroyed window
    EXPECT_EQ(band->CloseDW(0), S_OK);
    EXPECT_EQ(band->ResizeBorderDW(nullptr, nullptr, FALSE), E_NOTIMPL);
    EXPECT_EQ(band->ContextSensitiveHelp(TRUE), S_OK);
    EXPECT_EQ(object->ContextHelp(), TRUE);
    EXPECT_EQ(band->GetWindow(nullptr), E_INVALIDARG);
}

TEST_F(DeskBand, SecondSiteReplacesTheFirstWindow) {
    Site site(parent, true, true);
    ASSERT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&site)), S_OK);
    HWND first = BandWindow();
    ASSERT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&site)), S_OK);
    HWND second = BandWindow();
    EXPECT_FALSE(IsWindow(first));
    EXPECT_TRUE(IsWindow(second));
    EXPECT_EQ(site.references, 2); // one input site held, the first one released
}

TEST_F(DeskBand, SitesThatCannotHostTheBand) {
    Site noWindowInterface(parent, false, true);
    EXPECT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&noWindowInterface)), E_FAIL);
    EXPECT_EQ(BandWindow(), nullptr);
    HWND destroyed =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(destroyed);
    Site invalidWindow(destroyed, true, true);
    EXPECT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&invalidWindow)), E_FAIL);
    EXPECT_EQ(BandWindow(), nullptr);
    EXPECT_EQ(invalidWindow.references, 1);
    Site noInputSite(parent, true, false);
    EXPECT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&noInputSite)), E_FAIL);
    // The window made for that site goes with the failure.
    EXPECT_EQ(BandWindow(), nullptr);
    EXPECT_EQ(GetWindow(parent, GW_CHILD), nullptr);
    IUnknown* none = reinterpret_cast<IUnknown*>(0x1);
    EXPECT_EQ(withSite->GetSite(rb::kIidIUnknown, reinterpret_cast<void**>(&none)), E_FAIL);
    EXPECT_EQ(none, nullptr);
}

TEST_F(DeskBand, ABandReleasedWithoutClosingTakesItsWindowAndSiteAlong) {
    IObjectWithSite* other = nullptr;
    ASSERT_EQ(rb::QuerbalkenBand::Create(nullptr, rb::kIidIObjectWithSite,
                                         reinterpret_cast<void**>(&other)),
              S_OK);
    Site site(parent, true, true);
    ASSERT_EQ(other->SetSite(static_cast<IOleWindow*>(&site)), S_OK);
    HWND window = GetWindow(parent, GW_CHILD);
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(site.references, 2);
    other->Release(); // no CloseDW, no SetSite(NULL)
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(site.references, 1);
}

TEST_F(DeskBand, BandInfoForEveryMaskBit) {
    DESKBANDINFO info;
    memset(&info, 0xCC, sizeof info);
    info.dwMask = 0x7F;
    EXPECT_EQ(band->GetBandInfo(5, DBIF_VIEWMODE_NORMAL, &info), S_OK);
    EXPECT_EQ(object->BandId(), 5u);
    EXPECT_EQ(object->ViewMode(), DWORD(DBIF_VIEWMODE_NORMAL));
    EXPECT_EQ(info.ptMinSize.x, 250);
    EXPECT_EQ(info.ptMinSize.y, 20);
    EXPECT_EQ(info.ptMaxSize.x, 0);
    EXPECT_EQ(info.ptMaxSize.y, -1);
    EXPECT_EQ(info.ptIntegral.x, 1);
    EXPECT_EQ(info.ptIntegral.y, 1);
    EXPECT_EQ(info.ptActual.x, 250);
    EXPECT_EQ(info.ptActual.y, 20);
    EXPECT_STREQ(info.wszTitle, L"Querbalken");
    EXPECT_EQ(info.dwModeFlags, DWORD(DBIMF_VARIABLEHEIGHT));
    EXPECT_EQ(info.dwMask, 0x3Fu);

    DESKBANDINFO some;
    memset(&some, 0xCC, sizeof some);
    some.dwMask = DBIM_TITLE;
    EXPECT_EQ(band->GetBandInfo(6, DBIF_VIEWMODE_VERTICAL, &some), S_OK);
    EXPECT_STREQ(some.wszTitle, L"Querbalken");
    EXPECT_EQ(some.ptMinSize.x, static_cast<LONG>(0xCCCCCCCC));

    EXPECT_EQ(band->GetBandInfo(7, DBIF_VIEWMODE_FLOATING, nullptr), S_OK);
    EXPECT_EQ(object->BandId(), 7u);
    EXPECT_EQ(object->ViewMode(), DWORD(DBIF_VIEWMODE_FLOATING));
}

TEST_F(DeskBand, PersistenceKeepsNothing) {
    IPersistStream* persist = nullptr;
    ASSERT_EQ(band->QueryInterface(rb::kIidIPersistStream, reinterpret_cast<void**>(&persist)),
              S_OK);
    CLSID clsid = {};
    EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, rb::kClsidQuerbalkenBand));
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    EXPECT_EQ(persist->Save(stream, TRUE), S_OK);
    STATSTG stat = {};
    stream->Stat(&stat, STATFLAG_NONAME);
    EXPECT_EQ(stat.cbSize.QuadPart, 0u);
    EXPECT_EQ(persist->Load(stream), S_OK);
    ULARGE_INTEGER size = {};
    EXPECT_EQ(persist->GetSizeMax(&size), E_NOTIMPL);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    stream->Release();
    persist->Release();
}

} // namespace
