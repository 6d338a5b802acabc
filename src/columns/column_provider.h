// The IColumnProvider answers, apart from the COM object that carries them.
#pragma once

#include <windows.h>
#include <shlobj.h>

namespace rb {

class ImageLibrary;

constexpr UINT kColumnWidthChars = 25;
constexpr DWORD kColumnStateFlags = 0x3F; // type mask, on by default, slow

HRESULT ColumnInfo(DWORD index, SHCOLUMNINFO* info);
// Returns only S_OK or S_FALSE.
HRESULT ColumnItemData(const SHCOLUMNID* column, const SHCOLUMNDATA* item, VARIANT* result,
                       ImageLibrary& images);

} // namespace rb
