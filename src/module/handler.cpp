#include "module/handler.h"

#include "columns/column_provider.h"
#include "columns/option_store.h"
#include "com/module.h"
#include "shell/context_menu.h"
#include "shell/shell_selection.h"

#include <new>

namespace rb {

HRESULT RubrikatorHandler::Create(IUnknown* outer, REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    try {
        return Hand(new RubrikatorHandler(outer), iid, out);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

// Each object reads the options as they stand now, so changes made in the main dialog
// reach the next object Explorer creates.
RubrikatorHandler::RubrikatorHandler(IUnknown* outer) : ComObjectBase(outer) {
    menuBitmap_ = LoadBitmapA(ModuleInstance(), MAKEINTRESOURCEA(201));
    LoadOptions();
}

RubrikatorHandler::~RubrikatorHandler() {
    if (menuBitmap_)
        DeleteObject(menuBitmap_);
}

const InterfaceEntry* RubrikatorHandler::Interfaces() const {
    using H = RubrikatorHandler;
    static const InterfaceEntry table[] = {
        {&kIidIDispatch, InterfaceOffset<H, IRubrikatorHandle>()},
        {&kIidIRubrikatorHandle, InterfaceOffset<H, IRubrikatorHandle>()},
        {&kIidIColumnProvider, InterfaceOffset<H, IColumnProvider>()},
        {&kIidIShellExtInit, InterfaceOffset<H, IShellExtInit>()},
        {&kIidIContextMenu, InterfaceOffset<H, IContextMenu>()},
        {&kIidIShellPropSheetExt, InterfaceOffset<H, IShellPropSheetExt>()},
        {nullptr, 0},
    };
    return table;
}

// The engine keeps no per-folder state.
STDMETHODIMP RubrikatorHandler::Initialize(LPCSHCOLUMNINIT) {
    return S_OK;
}

STDMETHODIMP RubrikatorHandler::GetColumnInfo(DWORD index, SHCOLUMNINFO* info) {
    return ColumnInfo(index, info);
}

STDMETHODIMP RubrikatorHandler::GetItemData(LPCSHCOLUMNID column, LPCSHCOLUMNDATA item,
                                            VARIANT* result) {
    return ColumnItemData(column, item, result, images_);
}

STDMETHODIMP RubrikatorHandler::Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data, HKEY) {
    try {
        TheShellSelection().Replace(folder, data);
    } catch (...) {
    }
    return S_OK;
}

STDMETHODIMP RubrikatorHandler::QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT,
                                                 UINT flags) {
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0,
                        AddContextMenuEntry(menu, index, firstId, flags, menuBitmap_));
}

STDMETHODIMP RubrikatorHandler::InvokeCommand(CMINVOKECOMMANDINFO* info) {
    try {
        return InvokeContextMenuCommand(info);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

STDMETHODIMP RubrikatorHandler::GetCommandString(UINT_PTR command, UINT type, UINT*, CHAR* buffer,
                                                 UINT size) {
    try {
        return ContextMenuCommandString(command, type, buffer, size);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// The handler adds no page; its part in the Properties dialog is the Initialize call,
// which records the selection.
STDMETHODIMP RubrikatorHandler::AddPages(LPFNSVADDPROPSHEETPAGE, LPARAM) {
    return 1;
}

STDMETHODIMP RubrikatorHandler::ReplacePage(EXPPS, LPFNSVADDPROPSHEETPAGE, LPARAM) {
    return E_NOTIMPL;
}

} // namespace rb
