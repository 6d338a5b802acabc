// Class, interface and library identifiers, declared here rather than taken from
// MinGW's uuid library, which lacks several of the shell's.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <comcat.h>

namespace rb {

extern const CLSID kClsidRubrikatorHandler; // {7C3A51E0-2B94-4F1D-9E6B-5A0C8D2F4B17}
extern const CLSID kClsidQuerbalkenBand;    // {B81F6D42-93C5-4A7E-8D20-6E4F1C9A3B55}
extern const GUID kLibidRubrikator;         // {2E6C9A17-5D3B-4F80-A1C4-97B2E0D8F613}
extern const CATID kCatidCommBand;          // {00021494-0000-0000-C000-000000000046}

extern const IID kIidIUnknown;
extern const IID kIidIDispatch;
extern const IID kIidIRubrikatorHandle;
extern const IID kIidIQuerbalken;
extern const IID kIidIColumnProvider;
extern const IID kIidIShellExtInit;
extern const IID kIidIContextMenu;
extern const IID kIidIShellPropSheetExt;
extern const IID kIidIOleWindow;
extern const IID kIidIDockingWindow;
extern const IID kIidIObjectWithSite;
extern const IID kIidIDeskBand;
extern const IID kIidIPersist;
extern const IID kIidIPersistStream;
extern const IID kIidIInputObjectSite;
extern const IID kIidIClassFactory;
extern const IID kIidIContextMenu2;
extern const IID kIidIContextMenu3;
extern const IID kIidIInputObject;
extern const IID kIidIShellFolder;
extern const IID kIidIShellFolder2;
extern const CLSID kClsidRegistrar;
extern const IID kIidIRegistrar;
extern const CLSID kClsidStdComponentCategoriesMgr;
extern const IID kIidICatRegister;

// The two dual interfaces have no methods beyond IDispatch.
struct IRubrikatorHandle : public IDispatch {};
struct IQuerbalken : public IDispatch {};

} // namespace rb
