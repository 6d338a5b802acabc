// DllRegisterServer and DllUnregisterServer: registry scripts through the system's ATL
// Registrar, the shell's approval of the handler, the band's component category and,
// on the Windows 9x family only, the type library.
#pragma once

#include <windows.h>
#include <string>

namespace rb {

constexpr const char* kApprovedKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
constexpr const char* kApprovedName = "{7C3A51E0-2B94-4F1D-9E6B-5A0C8D2F4B17}";
constexpr const char* kApprovedText = "Rubrikator Shell Extensions";

// The high bit of GetVersion marks Windows 95, 98 and Me.
bool IsWindows9x();

HRESULT RegisterServer(bool windows9x);
HRESULT UnregisterServer(bool windows9x);

// The "Module" replacement: the module's short path, widened, single quotes doubled.
std::wstring ModuleReplacement(const std::string& shortPath);

} // namespace rb
