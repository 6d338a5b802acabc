// The module record: instance handle, lock count, the module's locks and clean-ups.
#pragma once

#include <windows.h>
#include <string>

#include "common/win_lock.h"

namespace rb {

// The module holding this code: the DLL, or a test program linked with the same code.
HINSTANCE ModuleInstance();
void SetModuleInstance(HINSTANCE instance);

// Living objects plus LockServer(TRUE) calls; changed atomically.
void ModuleLock();
void ModuleUnlock();
LONG ModuleLockCount();

CriticalSection& FactoryLock();        // lazy creation of class factories
CriticalSection& TypeInfoLock();       // lazy loading of type information, clean-up list
CriticalSection& WindowHandOverLock(); // object pointers handed to windows being created

// Called at process detach, last registered first.
void AddModuleCleanup(void (*cleanup)());
void RunModuleCleanups();

// Full path of the module file (ANSI), at most 260 characters.
std::string ModuleFileNameA();

} // namespace rb
