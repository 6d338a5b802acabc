#include "activation_probe.h"

namespace rbtest {

std::vector<std::wstring> AssembliesOf(HANDLE context) {
    std::vector<std::wstring> names;
    std::vector<char> buffer(4096);
    SIZE_T needed = 0;
    if (!QueryActCtxW(0, context, nullptr, ActivationContextDetailedInformation, buffer.data(),
                      buffer.size(), &needed))
        return names;
    DWORD count =
        reinterpret_cast<ACTIVATION_CONTEXT_DETAILED_INFORMATION*>(buffer.data())->ulAssemblyCount;
    for (DWORD index = 1; index <= count; ++index) {
        std::vector<char> assembly(8192);
        if (QueryActCtxW(0, context, &index, AssemblyDetailedInformationInActivationContext,
                         assembly.data(), assembly.size(), &needed))
            names.push_back(
                reinterpret_cast<ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(assembly.data())
                    ->lpAssemblyEncodedAssemblyIdentity);
    }
    return names;
}

ATOM PlainClassAtom(const char* className) {
    // Made on a thread without a context of its own: the test programs carry no manifest
    // of their own, so the plain class applies.
    HWND window =
        CreateWindowExA(0, className, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ATOM atom = static_cast<ATOM>(GetClassLongA(window, GCW_ATOM));
    DestroyWindow(window);
    return atom;
}

bool MadeInAManifestContext(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return GetClassLongA(window, GCW_ATOM) != PlainClassAtom(name);
}

} // namespace rbtest
