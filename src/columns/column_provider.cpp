#include "columns/column_provider.h"

#include "columns/catalogue.h"
#include "columns/compute.h"
#include "com/guids.h"

#include <cwchar>

namespace rb {

HRESULT ColumnInfo(DWORD index, SHCOLUMNINFO* info) {
    if (index >= ColumnCount() || !info)
        return S_FALSE;
    const ColumnRecord& record = ColumnCatalogue[index];
    info->scid.fmtid = kClsidRubrikatorHandler;
    info->scid.pid = record.propertyId;
    info->vt = VT_BSTR;
    info->fmt = static_cast<DWORD>(record.alignment);
    info->cChars = kColumnWidthChars;
    info->csFlags = kColumnStateFlags;
    info->wszTitle[0] = 0;
    info->wszDescription[0] = 0;
    MultiByteToWideChar(CP_ACP, 0, record.title, -1, info->wszTitle, MAX_COLUMN_NAME_LEN);
    info->wszTitle[MAX_COLUMN_NAME_LEN - 1] = 0;
    MultiByteToWideChar(CP_ACP, 0, record.title, -1, info->wszDescription, MAX_COLUMN_DESC_LEN);
    info->wszDescription[MAX_COLUMN_DESC_LEN - 1] = 0;
    return S_OK;
}

HRESULT ColumnItemData(const SHCOLUMNID* column, const SHCOLUMNDATA* item, VARIANT* result,
                       ImageLibrary& images) {
    if (!column || !item || !result)
        return S_FALSE;
    try {
        // The shell's path array may lack its terminator; never read past it.
        std::wstring path(item->wszFile, wcsnlen(item->wszFile, MAX_PATH));
        ColumnValue value = ComputeColumnValue(column->pid, path.c_str(), item->dwFileAttributes,
                                               item->pwszExt, images);
        if (value.outcome == ColumnOutcome::NoValue)
            return S_FALSE;
        BSTR text = SysAllocStringLen(value.text.data(), static_cast<UINT>(value.text.size()));
        if (!text)
            return S_FALSE;
        result->vt = VT_BSTR;
        result->bstrVal = text;
        return value.outcome == ColumnOutcome::HasValue ? S_OK : S_FALSE;
    } catch (...) {
        return S_FALSE;
    }
}

} // namespace rb
