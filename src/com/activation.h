// The module's activation context, made once from its manifest (resource 2), which asks
// for version 6 of the common controls. Windows, dialogs and library loads of the
// module are made inside it.
#pragma once

#include <windows.h>

namespace rb {

// The context handle, or INVALID_HANDLE_VALUE when it could not be made.
HANDLE ModuleActivationContext();

class ScopedModuleActivation {
public:
    ScopedModuleActivation();
    ~ScopedModuleActivation();
    ScopedModuleActivation(const ScopedModuleActivation&) = delete;
    ScopedModuleActivation& operator=(const ScopedModuleActivation&) = delete;

    // Whether the module's context is active now.
    bool Active() const { return active_; }

private:
    ULONG_PTR cookie_ = 0;
    bool active_ = false;
};

} // namespace rb
