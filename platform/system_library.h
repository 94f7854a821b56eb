#pragma once
// DLLs that are not among the system's known DLLs are loaded from the system
// folder by full path, never found by search: the installer runs elevated
// from wherever it was downloaded, often a folder where anything can be
// dropped beside it.
#include <windows.h>

#include <string>

#include "platform/unique_handle.h"

namespace kavrel {

// The DLL of that file name from the system folder; empty when it cannot be loaded.
UniqueModule LoadSystemLibrary(const std::string& fileName);

// A function of a module, cast to its type; null when it is missing.
template <typename Function>
Function ModuleFunction(HMODULE module, const char* name) {
    if (!module) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// A function of a loaded DLL, cast to its type; null when it is missing.
template <typename Function>
Function SystemFunction(const UniqueModule& library, const char* name) {
    return ModuleFunction<Function>(library.get(), name);
}

// A function of a DLL that every process has loaded ("kernel32.dll",
// "ntdll.dll"), looked up at run time because older systems lack it.
template <typename Function>
Function LoadedSystemFunction(const char* moduleName, const char* name) {
    return ModuleFunction<Function>(::GetModuleHandleA(moduleName), name);
}

// Restricts the process's DLL search to the system folder, where the system
// offers that (Windows 7 with KB2533623 and later); looked up at run time so
// that the installer still starts where it does not. Returns whether it took effect.
bool HardenDllSearch();

// Has the system refuse the process any junction that a user without
// administrator rights made, where it offers that (Windows 11 22H2 and
// later, looked up at run time): a folder the installer works in cannot be
// redirected by one. Returns whether it took effect.
bool RefuseUsersJunctions();

}  // namespace kavrel
