// The module as Explorer sees it: class objects, interface tables, aggregation, lock count.
#include <gtest/gtest.h>

#include "images.h"
#include "column_client.h"
#include "com/guids.h"
#include "product_dll.h"
#include "support.h"
#include "thread.h"

#include <shlobj.h>

#include <atomic>
#include <functional>
#include <vector>

namespace {

using rbtest::ProductDll;

const IID kIidUnknownToUs = {0x01234567, 0x89AB, 0xCDEF, {1, 2, 3, 4, 5, 6, 7, 8}};

class Module : public testing::Test {
protected:
    ProductDll dll{rbtest::ProductDllPath()};
    void SetUp() override { ASSERT_TRUE(dll.Loaded()); }
};

IUnknown* Query(IUnknown* object, REFIID iid, HRESULT* result = nullptr) {
    IUnknown* p = reinterpret_cast<IUnknown*>(0x1);
    HRESULT hr = object->QueryInterface(iid, reinterpret_cast<void**>(&p));
    if (result)
        *result = hr;
    if (SUCCEEDED(hr))
        p->Release(); // the object stays alive through `object`
    return p;
}

TEST_F(Module, HandlerAnswersItsTableInOrderAndIUnknownIsTheFirstRow) {
    IUnknown* handler = nullptr;
    ASSERT_EQ(dll.Create(rb::kClsidRubrikatorHandler, rb::kIidIUnknown,
                         reinterpret_cast<void**>(&handler)),
              S_OK);
    IUnknown* unknown = Query(handler, rb::kIidIUnknown);
    EXPECT_EQ(unknown, handler);
    EXPECT_EQ(Query(handler, rb::kIidIDispatch), unknown);
    EXPECT_EQ(Query(handler, rb::kIidIRubrikatorHandle), unknown);
    for (const IID* iid : {&rb::kIidIColumnProvider, &rb::kIidIShellExtInit, &rb::kIidIContextMenu,
                           &rb::kIidIShellPropSheetExt}) {
        HRESULT hr;
        IUnknown* p = Query(handler, *iid, &hr);
        EXPECT_EQ(hr, S_OK);
        EXPECT_NE(p, nullptr);
        // Every interface leads back to the same identity.
        EXPECT_EQ(Query(p, rb::kIidIUnknown), unknown);
    }
    for (const IID* iid : {&rb::kIidIContextMenu2, &rb::kIidIContextMenu3, &rb::kIidIInputObject,
                           &rb::kIidIDeskBand, &kIidUnknownToUs}) {
        HRESULT hr;
        EXPECT_EQ(Query(handler, *iid, &hr), nullptr);
        EXPECT_EQ(hr, E_NOINTERFACE);
    }
    EXPECT_EQ(handler->QueryInterface(rb::kIidIUnknown, nullptr), E_POINTER);
    handler->Release();
}

TEST_F(Module, BandAnswersItsTableInOrderAndIUnknownIsTheFirstRow) {
    IUnknown* band = nullptr;
    ASSERT_EQ(
        dll.Create(rb::kClsidQuerbalkenBand, rb::kIidIUnknown, reinterpret_cast<void**>(&band)),
        S_OK);
    IUnknown* unknown = Query(band, rb::kIidIUnknown);
    EXPECT_EQ(Query(band, rb::kIidIQuerbalken), unknown);
    EXPECT_EQ(Query(band, rb::kIidIDispatch), unknown);
    for (const IID* iid : {&rb::kIidIOleWindow, &rb::kIidIDockingWindow, &rb::kIidIObjectWithSite,
                           &rb::kIidIDeskBand, &rb::kIidIPersist, &rb::kIidIPersistStream}) {
        HRESULT hr;
        IUnknown* p = Query(band, *iid, &hr);
        EXPECT_EQ(hr, S_OK);
        EXPECT_EQ(Query(p, rb::kIidIUnknown), unknown);
    }
    // IOleWindow and IDockingWindow are the desk band's own bases.
    EXPECT_EQ(Query(band, rb::kIidIOleWindow), Query(band, rb::kIidIDeskBand));
    EXPECT_EQ(Query(band, rb::kIidIPersist), Query(band, rb::kIidIPersistStream));
    for (const IID* iid :
         {&rb::kIidIInputObject, &rb::kIidIContextMenu, &rb::kIidIColumnProvider}) {
        HRESULT hr;
        EXPECT_EQ(Query(band, *iid, &hr), nullptr);
        EXPECT_EQ(hr, E_NOINTERFACE);
    }
    band->Release();
}

TEST_F(Module, ClassObjectsAndTheirFailures) {
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(dll.GetClassObject(kIidUnknownToUs, IID_IClassFactory, &out),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(dll.GetClassObject(rb::kClsidRubrikatorHandler, IID_IClassFactory, nullptr),
              E_POINTER);
    out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(dll.GetClassObject(rb::kClsidRubrikatorHandler, rb::kIidIColumnProvider, &out),
              E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(dll.GetClassObject(rb::kClsidRubrikatorHandler, IID_IClassFactory,
                                 reinterpret_cast<void**>(&factory)),
              S_OK);
    IClassFactory* again = nullptr;
    ASSERT_EQ(dll.GetClassObject(rb::kClsidRubrikatorHandler, rb::kIidIUnknown,
                                 reinterpret_cast<void**>(&again)),
              S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(factory), static_cast<IUnknown*>(again));
    again->Release();
    EXPECT_EQ(factory->CreateInstance(nullptr, rb::kIidIColumnProvider, nullptr), E_POINTER);
    out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory), rb::kIidIColumnProvider,
                                      &out),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(factory->CreateInstance(nullptr, rb::kIidIDeskBand, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    factory->Release();
}

TEST_F(Module, LockCountFollowsObjectsAndLockServer) {
    ASSERT_EQ(dll.CanUnloadNow(), S_OK);
    IColumnProvider* provider = nullptr;
    ASSERT_EQ(dll.Create(rb::kClsidRubrikatorHandler, rb::kIidIColumnProvider,
                         reinterpret_cast<void**>(&provider)),
              S_OK);
    EXPECT_EQ(dll.CanUnloadNow(), S_FALSE);
    IUnknown* band = nullptr;
    ASSERT_EQ(
        dll.Create(rb::kClsidQuerbalkenBand, rb::kIidIUnknown, reinterpret_cast<void**>(&band)),
        S_OK);
    provider->AddRef();
    provider->Release();
    provider->Release();
    EXPECT_EQ(dll.CanUnloadNow(), S_FALSE);
    band->Release();
    EXPECT_EQ(dll.CanUnloadNow(), S_OK);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(dll.GetClassObject(rb::kClsidQuerbalkenBand, IID_IClassFactory,
                                 reinterpret_cast<void**>(&factory)),
              S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(dll.CanUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(dll.CanUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    // The cached factory itself does not keep the module.
    EXPECT_EQ(dll.CanUnloadNow(), S_OK);
    factory->Release();
}

// An outer object that aggregates the handler and counts what reaches it.
class Outer : public IUnknown {
public:
    IUnknown* inner = nullptr;
    LONG references = 1;
    int queries = 0;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        ++queries;
        if (IsEqualIID(iid, rb::kIidIUnknown)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(iid, out) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
};

TEST_F(Module, HandlerCanBeAggregated) {
    Outer outer;
    ASSERT_EQ(dll.Create(rb::kClsidRubrikatorHandler, rb::kIidIUnknown,
                         reinterpret_cast<void**>(&outer.inner), &outer),
              S_OK);
    ASSERT_NE(outer.inner, nullptr);
    EXPECT_NE(outer.inner, static_cast<IUnknown*>(&outer));
    EXPECT_EQ(outer.references, 1);

    // The inner unknown hands out interfaces whose IUnknown part is the outer object's.
    IColumnProvider* provider = nullptr;
    ASSERT_EQ(
        outer.inner->QueryInterface(rb::kIidIColumnProvider, reinterpret_cast<void**>(&provider)),
        S_OK);
    EXPECT_EQ(outer.references, 2);
    IUnknown* identity = nullptr;
    ASSERT_EQ(provider->QueryInterface(rb::kIidIUnknown, reinterpret_cast<void**>(&identity)),
              S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    EXPECT_EQ(outer.references, 3);
    identity->Release();
    int before = outer.queries;
    IContextMenu* menu = nullptr;
    EXPECT_EQ(provider->QueryInterface(rb::kIidIContextMenu, reinterpret_cast<void**>(&menu)),
              S_OK);
    EXPECT_EQ(outer.queries, before + 1);
    menu->Release();
    SHCOLUMNINFO info = {};
    EXPECT_EQ(provider->GetColumnInfo(6, &info), S_OK);
    provider->Release();
    EXPECT_EQ(outer.references, 1);
    EXPECT_EQ(dll.CanUnloadNow(), S_FALSE);
    outer.inner->Release();
    EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

TEST_F(Module, BandCanBeAggregated) {
    Outer outer;
    ASSERT_EQ(dll.Create(rb::kClsidQuerbalkenBand, rb::kIidIUnknown,
                         reinterpret_cast<void**>(&outer.inner), &outer),
              S_OK);
    IDeskBand* band = nullptr;
    ASSERT_EQ(outer.inner->QueryInterface(rb::kIidIDeskBand, reinterpret_cast<void**>(&band)),
              S_OK);
    EXPECT_EQ(outer.references, 2);
    band->Release();
    outer.inner->Release();
    EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

TEST_F(Module, OneFactoryPerClassWhenManyThreadsAskAtOnce) {
    // A fresh module: factories are made on first request only.
    const int threads = 16;
    std::vector<IUnknown*> got(threads * 2, nullptr);
    std::vector<HRESULT> results(threads * 2, E_FAIL);
    HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<rbtest::Thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            WaitForSingleObject(start, INFINITE);
            for (int c = 0; c < 2; ++c)
                results[t * 2 + c] = dll.GetClassObject(
                    c ? rb::kClsidQuerbalkenBand : rb::kClsidRubrikatorHandler, IID_IClassFactory,
                    reinterpret_cast<void**>(&got[t * 2 + c]));
        });
    SetEvent(start);
    for (auto& w : workers)
        w.Join();
    CloseHandle(start);
    for (int i = 0; i < threads * 2; ++i) {
        EXPECT_EQ(results[i], S_OK);
        EXPECT_EQ(got[i], got[i % 2]) << i;
    }
    EXPECT_NE(got[0], got[1]);
    for (IUnknown* p : got)
        if (p)
            p->Release();
}

// The interface pointers QueryInterface hands out lead to their own methods: each call
// below answers in a way no other method of the object would.
TEST_F(Module, EveryInterfacePointerReachesItsOwnMethods) {
    IUnknown* handler = nullptr;
    ASSERT_EQ(dll.Create(rb::kClsidRubrikatorHandler, rb::kIidIUnknown,
                         reinterpret_cast<void**>(&handler)),
              S_OK);
    IColumnProvider* columns = nullptr;
    ASSERT_EQ(handler->QueryInterface(rb::kIidIColumnProvider, reinterpret_cast<void**>(&columns)),
              S_OK);
    SHCOLUMNINFO info = {};
    EXPECT_EQ(columns->GetColumnInfo(4, &info), S_OK);
    EXPECT_STREQ(info.wszTitle, L"Bittiefe (RB)");
    EXPECT_EQ(columns->GetColumnInfo(12, &info), S_FALSE);
    columns->Release();
    IContextMenu* menu = nullptr;
    ASSERT_EQ(handler->QueryInterface(rb::kIidIContextMenu, reinterpret_cast<void**>(&menu)), S_OK);
    char help[64] = {};
    EXPECT_EQ(menu->GetCommandString(0, GCS_HELPTEXTA, nullptr, help, sizeof help), S_OK);
    EXPECT_STREQ(help, "Deine Liebste Spalte");
    menu->Release();
    IShellPropSheetExt* sheet = nullptr;
    ASSERT_EQ(handler->QueryInterface(rb::kIidIShellPropSheetExt, reinterpret_cast<void**>(&sheet)),
              S_OK);
    EXPECT_EQ(sheet->AddPages(nullptr, 0), 1);
    EXPECT_EQ(sheet->ReplacePage(0, nullptr, 0), E_NOTIMPL);
    sheet->Release();
    IShellExtInit* init = nullptr;
    ASSERT_EQ(handler->QueryInterface(rb::kIidIShellExtInit, reinterpret_cast<void**>(&init)),
              S_OK);
    EXPECT_EQ(init->Initialize(nullptr, nullptr, nullptr), S_OK);
    init->Release();
    for (const IID* iid : {&rb::kIidIDispatch, &rb::kIidIRubrikatorHandle}) {
        IDispatch* dispatch = nullptr;
        ASSERT_EQ(handler->QueryInterface(*iid, reinterpret_cast<void**>(&dispatch)), S_OK);
        UINT count = 0;
        EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
        EXPECT_EQ(count, 1u);
        dispatch->Release();
    }
    handler->Release();

    IUnknown* band = nullptr;
    ASSERT_EQ(
        dll.Create(rb::kClsidQuerbalkenBand, rb::kIidIUnknown, reinterpret_cast<void**>(&band)),
        S_OK);
    IDeskBand* deskBand = nullptr;
    ASSERT_EQ(band->QueryInterface(rb::kIidIDeskBand, reinterpret_cast<void**>(&deskBand)), S_OK);
    DESKBANDINFO bandInfo = {};
    bandInfo.dwMask = DBIM_MINSIZE | DBIM_ACTUAL;
    EXPECT_EQ(deskBand->GetBandInfo(7, 0, &bandInfo), S_OK);
    EXPECT_EQ(bandInfo.ptMinSize.x, 250);
    EXPECT_EQ(bandInfo.ptActual.y, 20);
    deskBand->Release();
    IDockingWindow* docking = nullptr;
    ASSERT_EQ(band->QueryInterface(rb::kIidIDockingWindow, reinterpret_cast<void**>(&docking)),
              S_OK);
    EXPECT_EQ(docking->ResizeBorderDW(nullptr, nullptr, FALSE), E_NOTIMPL);
    docking->Release();
    IOleWindow* window = nullptr;
    ASSERT_EQ(band->QueryInterface(rb::kIidIOleWindow, reinterpret_cast<void**>(&window)), S_OK);
    EXPECT_EQ(window->GetWindow(nullptr), E_INVALIDARG);
    window->Release();
    IObjectWithSite* withSite = nullptr;
    ASSERT_EQ(band->QueryInterface(rb::kIidIObjectWithSite, reinterpret_cast<void**>(&withSite)),
              S_OK);
    void* site = reinterpret_cast<void*>(1);
    EXPECT_EQ(withSite->GetSite(rb::kIidIUnknown, &site), E_FAIL);
    withSite->Release();
    for (const IID* iid : {&rb::kIidIPersist, &rb::kIidIPersistStream}) {
        IPersist* persist = nullptr;
        ASSERT_EQ(band->QueryInterface(*iid, reinterpret_cast<void**>(&persist)), S_OK);
        CLSID clsid = {};
        EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
        EXPECT_TRUE(IsEqualCLSID(clsid, rb::kClsidQuerbalkenBand));
        persist->Release();
    }
    IPersistStream* stream = nullptr;
    ASSERT_EQ(band->QueryInterface(rb::kIidIPersistStream, reinterpret_cast<void**>(&stream)),
              S_OK);
    EXPECT_EQ(stream->IsDirty(), S_FALSE);
    EXPECT_EQ(stream->GetSizeMax(nullptr), E_NOTIMPL);
    stream->Release();
    for (const IID* iid : {&rb::kIidIDispatch, &rb::kIidIQuerbalken}) {
        IDispatch* dispatch = nullptr;
        ASSERT_EQ(band->QueryInterface(*iid, reinterpret_cast<void**>(&dispatch)), S_OK);
        UINT count = 0;
        EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
        EXPECT_EQ(count, 1u);
        dispatch->Release();
    }
    band->Release();
}

TEST(ModuleFactories, OneFactoryEvenWhenEveryLoadIsRacedForIt) {
    const int threads = 6;
    int rounds = 0, split = 0;
    for (; rounds < 120; ++rounds) {
        ProductDll dll(rbtest::ProductDllPath());
        ASSERT_TRUE(dll.Loaded());
        std::vector<IUnknown*> got(threads, nullptr);
        HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        {
            std::vector<rbtest::Thread> workers;
            for (int t = 0; t < threads; ++t)
                workers.emplace_back([&, t] {
                    WaitForSingleObject(start, INFINITE);
                    dll.GetClassObject(rb::kClsidRubrikatorHandler, IID_IClassFactory,
                                       reinterpret_cast<void**>(&got[t]));
                });
            SetEvent(start);
        }
        CloseHandle(start);
        for (int t = 1; t < threads; ++t)
            if (got[t] != got[0])
                ++split;
        for (IUnknown* p : got)
            if (p)
                p->Release();
        ASSERT_EQ(dll.CanUnloadNow(), S_OK);
    }
    EXPECT_EQ(split, 0) << "factories made twice within " << rounds << " fresh loads";
}

TEST_F(Module, DispatchComesFromTheEmbeddedTypeLibrary) {
    for (const CLSID* clsid : {&rb::kClsidRubrikatorHandler, &rb::kClsidQuerbalkenBand}) {
        IDispatch* dispatch = nullptr;
        ASSERT_EQ(dll.Create(*clsid, rb::kIidIDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
        UINT count = 0;
        EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
        EXPECT_EQ(count, 1u);
        EXPECT_EQ(dispatch->GetTypeInfoCount(nullptr), E_POINTER);
        EXPECT_EQ(dispatch->GetTypeInfo(0, 0, nullptr), E_POINTER);
        ITypeInfo* info = nullptr;
        ASSERT_EQ(dispatch->GetTypeInfo(0, 0x0409, &info), S_OK);
        TYPEATTR* attributes = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
        const IID& expected =
            clsid == &rb::kClsidRubrikatorHandler ? rb::kIidIRubrikatorHandle : rb::kIidIQuerbalken;
        EXPECT_TRUE(IsEqualGUID(attributes->guid, expected));
        EXPECT_EQ(attributes->cFuncs, 7); // IDispatch's own seven, nothing more
        EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FDUAL);
        info->ReleaseTypeAttr(attributes);
        BSTR name = nullptr, help = nullptr;
        EXPECT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, &help, nullptr, nullptr), S_OK);
        EXPECT_STREQ(name,
                     clsid == &rb::kClsidRubrikatorHandler ? L"IRubrikatorHandle" : L"IQuerbalken");
        EXPECT_STREQ(help, clsid == &rb::kClsidRubrikatorHandler ? L"IRubrikatorHandle Interface"
                                                                 : L"IQuerbalken Interface");
        SysFreeString(name);
        SysFreeString(help);
        info->Release();
        // No methods of its own: names are unknown.
        OLECHAR* names[] = {const_cast<OLECHAR*>(L"Anything")};
        DISPID id = 0;
        EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0x0409, &id), DISP_E_UNKNOWNNAME);
        dispatch->Release();
    }
}

// One cycle as Explorer runs it for an idle extension: load, create, a request of every
// column, release, ask whether the module may go, unload.
void LoadUseAndUnload(const std::wstring& folder, const std::wstring& image) {
    ProductDll dll(rbtest::ProductDllPath());
    ASSERT_TRUE(dll.Loaded());
    IColumnProvider* provider = nullptr;
    ASSERT_EQ(dll.Create(rb::kClsidRubrikatorHandler, rb::kIidIColumnProvider,
                         reinterpret_cast<void**>(&provider)),
              S_OK);
    rbtest::AskEveryColumn(provider, folder, image);
    provider->Release();
    EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

// The smallest growth of the committed memory over `windows` runs of `perWindow` cycles.
// A leak grows every window; the heap's own growth (blocks kept for reuse, more of it when
// the machine is busy and threads interleave otherwise) comes now and then, not in all.
template <typename Cycle>
std::size_t SmallestGrowth(int windows, int perWindow, Cycle cycle) {
    std::size_t smallest = static_cast<std::size_t>(-1);
    for (int w = 0; w < windows; ++w) {
        const std::size_t before = rbtest::CommittedPrivateBytes();
        for (int i = 0; i < perWindow; ++i)
            cycle();
        const std::size_t after = rbtest::CommittedPrivateBytes();
        const std::size_t grown = after > before ? after - before : 0;
        if (grown < smallest)
            smallest = grown;
    }
    return smallest;
}

TEST(ModuleLifetime, LoadingAndUnloadingLeavesHandlesSlotsAndMemoryFlat) {
    ASSERT_EQ(GetModuleHandleW(L"Rubrikator.dll"), nullptr) << "the module must really go";
    rbtest::TempDir dir;
    dir.MakeDir(L"sub");
    dir.WriteFile(L"sub\\a.txt", "abc");
    std::wstring image = dir.WriteFile(L"i.bmp", rbtest::MakeBmp(4, 3, 24, 2835));
    for (int i = 0; i < 20; ++i)
        LoadUseAndUnload(dir.Path(), image);
    const int handles = rbtest::OpenHandleCount();
    const int slots = rbtest::FreeTlsSlots();
    int stayed = 0;
    // A kilobyte a cycle would grow every window by 50 KB.
    std::size_t grown = SmallestGrowth(4, 50, [&] {
        LoadUseAndUnload(dir.Path(), image);
        stayed += GetModuleHandleW(L"Rubrikator.dll") != nullptr;
    });
    EXPECT_EQ(stayed, 0) << "the module must really go";
    EXPECT_EQ(rbtest::OpenHandleCount(), handles);
    EXPECT_EQ(rbtest::FreeTlsSlots(), slots);
    EXPECT_LT(grown, 50u * 1024);
}

TEST(ModuleLifetime, AFullTableOfThreadKeysLeaksAKeysBlocksInsteadOfEndingTheProcess) {
#ifndef RB_TEST_SEAMS
    GTEST_SKIP() << "needs a test build of the DLL";
#else
    ProductDll dll(rbtest::ProductDllPath());
    using Register = int (*)(DWORD, void (*)(void*));
    auto registerKey = reinterpret_cast<Register>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"Rubrikator.dll"), "RbTestRegisterThreadKey")));
    ASSERT_NE(registerKey, nullptr);
    // The runtime ends the process when a key's registration fails: past the table's
    // sixteen keys every registration still succeeds.
    int failed = 0;
    for (DWORD key = 0; key < 40; ++key)
        failed += registerKey(0xFFFF0000u + key, [](void*) {}) != 0;
    EXPECT_EQ(failed, 0);
#endif
}

// A thread that lives across loads, as Explorer's threads do: runs a job when told to.
class PoolThread {
public:
    PoolThread()
        : go_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
          done_(CreateEventW(nullptr, FALSE, FALSE, nullptr)), thread_([this] { Loop(); }) {}
    ~PoolThread() {
        job_ = nullptr;
        SetEvent(go_);
        thread_.Join();
        CloseHandle(go_);
        CloseHandle(done_);
    }
    void Start(std::function<void()> job) {
        job_ = std::move(job);
        SetEvent(go_);
    }
    void Wait() { WaitForSingleObject(done_, INFINITE); }

private:
    void Loop() {
        for (;;) {
            WaitForSingleObject(go_, INFINITE);
            if (!job_)
                return;
            job_();
            SetEvent(done_);
        }
    }
    HANDLE go_, done_;
    std::function<void()> job_;
    rbtest::Thread thread_;
};

TEST(ModuleLifetime, ThreadsThatThrewInsideTheModuleLeaveNothingBehindOverManyLoads) {
#ifndef RB_TEST_SEAMS
    GTEST_SKIP() << "needs a test build of the DLL, whose listings of \"rb-throw\" throw";
#else
    ASSERT_EQ(GetModuleHandleW(L"Rubrikator.dll"), nullptr);
    rbtest::TempDir dir;
    // The walk of this folder throws inside the module and gives no value.
    const std::wstring thrower = dir.MakeDir(L"rb-throw");
    std::vector<PoolThread> pool(4);
    std::atomic<int> noValue{0};
    auto cycle = [&] {
        ProductDll dll(rbtest::ProductDllPath());
        IColumnProvider* provider = nullptr;
        if (dll.Create(rb::kClsidRubrikatorHandler, rb::kIidIColumnProvider,
                       reinterpret_cast<void**>(&provider)) != S_OK)
            return;
        auto ask = [&] {
            rbtest::Answer a =
                rbtest::Ask(provider, 0, rbtest::Item(thrower, FILE_ATTRIBUTE_DIRECTORY, nullptr));
            if (a.hr == S_FALSE && a.vt == VT_EMPTY)
                ++noValue;
        };
        // Eight threads throw each load: four that live on, four that end before it goes.
        for (PoolThread& thread : pool)
            thread.Start(ask);
        {
            std::vector<rbtest::Thread> fresh;
            for (int i = 0; i < 4; ++i)
                fresh.emplace_back(ask);
        }
        for (PoolThread& thread : pool)
            thread.Wait();
        provider->Release();
    };
    for (int i = 0; i < 20; ++i)
        cycle();
    ASSERT_EQ(noValue.load(), 20 * 8);
    const int handles = rbtest::OpenHandleCount();
    const int slots = rbtest::FreeTlsSlots();
    int stayed = 0;
    // The blocks of eight threads a load would be about 1.3 KB a load, 325 KB a window.
    std::size_t grown = SmallestGrowth(8, 250, [&] {
        cycle();
        stayed += GetModuleHandleW(L"Rubrikator.dll") != nullptr;
    });
    EXPECT_EQ(stayed, 0);
    EXPECT_EQ(noValue.load(), (20 + 2000) * 8);
    EXPECT_EQ(rbtest::OpenHandleCount(), handles);
    EXPECT_EQ(rbtest::FreeTlsSlots(), slots);
    EXPECT_LT(grown, 128u * 1024);
#endif
}

TEST(TypeLibrary, EmbeddedLibraryDescribesBothClasses) {
    ITypeLib* library = nullptr;
    ASSERT_EQ(LoadTypeLibEx(rbtest::ProductDllPath().c_str(), REGKIND_NONE, &library), S_OK);
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, rb::kLibidRubrikator));
    EXPECT_EQ(attributes->wMajorVerNum, 1);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    EXPECT_EQ(attributes->lcid, 0x0409u);
    EXPECT_EQ(attributes->syskind, SYS_WIN32);
    library->ReleaseTLibAttr(attributes);
    BSTR name = nullptr, help = nullptr;
    ASSERT_EQ(library->GetDocumentation(-1, &name, &help, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name, L"RUBRIKATORLib");
    EXPECT_STREQ(help, L"Rubrikator 1.0 Typbibliothek");
    SysFreeString(name);
    SysFreeString(help);
    struct Class {
        const CLSID* clsid;
        const wchar_t* name;
        const wchar_t* help;
        const IID* defaultInterface;
    } classes[] = {
        {&rb::kClsidRubrikatorHandler, L"RubrikatorHandle", L"RubrikatorHandle Class",
         &rb::kIidIRubrikatorHandle},
        {&rb::kClsidQuerbalkenBand, L"Querbalken", L"Querbalken Class", &rb::kIidIQuerbalken},
    };
    for (const Class& c : classes) {
        ITypeInfo* info = nullptr;
        ASSERT_EQ(library->GetTypeInfoOfGuid(*c.clsid, &info), S_OK);
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
        EXPECT_EQ(attr->typekind, TKIND_COCLASS);
        EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCANCREATE);
        EXPECT_EQ(attr->cImplTypes, 1);
        info->ReleaseTypeAttr(attr);
        INT flags = 0;
        EXPECT_EQ(info->GetImplTypeFlags(0, &flags), S_OK);
        EXPECT_TRUE(flags & IMPLTYPEFLAG_FDEFAULT);
        HREFTYPE ref = 0;
        ITypeInfo* implemented = nullptr;
        ASSERT_EQ(info->GetRefTypeOfImplType(0, &ref), S_OK);
        ASSERT_EQ(info->GetRefTypeInfo(ref, &implemented), S_OK);
        TYPEATTR* implAttr = nullptr;
        ASSERT_EQ(implemented->GetTypeAttr(&implAttr), S_OK);
        EXPECT_TRUE(IsEqualGUID(implAttr->guid, *c.defaultInterface));
        implemented->ReleaseTypeAttr(implAttr);
        implemented->Release();
        ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, &help, nullptr, nullptr), S_OK);
        EXPECT_STREQ(name, c.name);
        EXPECT_STREQ(help, c.help);
        SysFreeString(name);
        SysFreeString(help);
        info->Release();
    }
    library->Release();
}

} // namespace
