#include "com/activation.h"

#include "com/module.h"

namespace rb {

namespace {

HANDLE context = INVALID_HANDLE_VALUE;
bool attempted = false;

void ReleaseContext() {
    if (context != INVALID_HANDLE_VALUE)
        ReleaseActCtx(context);
    context = INVALID_HANDLE_VALUE;
    attempted = false;
}

} // namespace

HANDLE ModuleActivationContext() {
    ScopedLock lock(TypeInfoLock());
    if (!attempted) {
        attempted = true;
        // Used inside COM methods and window code: a failure here means no context.
        try {
            std::string path = ModuleFileNameA();
            ACTCTXA request = {};
            request.cbSize = sizeof request;
            request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
            request.lpSource = path.c_str();
            request.hModule = ModuleInstance();
            request.lpResourceName = MAKEINTRESOURCEA(2);
            context = CreateActCtxA(&request);
        } catch (...) {
            context = INVALID_HANDLE_VALUE;
        }
        if (context != INVALID_HANDLE_VALUE)
            AddModuleCleanup(&ReleaseContext);
    }
    return context;
}

ScopedModuleActivation::ScopedModuleActivation() {
    HANDLE handle = ModuleActivationContext();
    if (handle != INVALID_HANDLE_VALUE)
        active_ = ActivateActCtx(handle, &cookie_) != FALSE;
}

ScopedModuleActivation::~ScopedModuleActivation() {
    if (active_)
        DeactivateActCtx(0, cookie_);
}

} // namespace rb
