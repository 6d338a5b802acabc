// RubrikatorHandler: column handler, context-menu handler and property sheet handler.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "columns/image_library.h"
#include "com/com_object.h"
#include "com/guids.h"

namespace rb {

class RubrikatorHandler : public DispatchImpl<IRubrikatorHandle, &kIidIRubrikatorHandle>,
                          public IColumnProvider,
                          public IShellExtInit,
                          public IShellPropSheetExt,
                          public IContextMenu,
                          public ComObjectBase {
public:
    // Creation function of the class table.
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out);

    RB_DELEGATE_IUNKNOWN

    // IColumnProvider
    STDMETHODIMP Initialize(LPCSHCOLUMNINIT init) override;
    STDMETHODIMP GetColumnInfo(DWORD index, SHCOLUMNINFO* info) override;
    STDMETHODIMP GetItemData(LPCSHCOLUMNID column, LPCSHCOLUMNDATA item, VARIANT* result) override;

    // IShellExtInit
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data, HKEY progId) override;

    // IContextMenu
    STDMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT lastId,
                                  UINT flags) override;
    STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) override;
    STDMETHODIMP GetCommandString(UINT_PTR command, UINT type, UINT* reserved, CHAR* buffer,
                                  UINT size) override;

    // IShellPropSheetExt
    STDMETHODIMP AddPages(LPFNSVADDPROPSHEETPAGE addPage, LPARAM parameter) override;
    STDMETHODIMP ReplacePage(EXPPS page, LPFNSVADDPROPSHEETPAGE replace, LPARAM parameter) override;

    HBITMAP MenuBitmap() const { return menuBitmap_; }

private:
    explicit RubrikatorHandler(IUnknown* outer);
    ~RubrikatorHandler() override;
    const InterfaceEntry* Interfaces() const override;

    ImageLibrary images_;
    HBITMAP menuBitmap_ = nullptr;
};

} // namespace rb
