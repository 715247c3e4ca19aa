// The suite against the module, loaded by its bare name from the loader's search path.
#include "tests/emulator/Harness.h"

#include <stdexcept>
#include <windows.h>

ModuleEntry moduleEntry() {
    static const HMODULE library = ::LoadLibraryA("vlPKCS11QRD.dll");
    if (library == nullptr) {
        throw std::runtime_error("LoadLibrary vlPKCS11QRD.dll failed");
    }
    ModuleEntry entry{};
    entry.getFunctionList = reinterpret_cast<decltype(entry.getFunctionList)>(
        reinterpret_cast<void*>(::GetProcAddress(library, "C_GetFunctionList")));
    entry.getFunctionListExtended = reinterpret_cast<decltype(entry.getFunctionListExtended)>(
        reinterpret_cast<void*>(::GetProcAddress(library, "C_EX_GetFunctionListExtended")));
    if (entry.getFunctionList == nullptr || entry.getFunctionListExtended == nullptr) {
        throw std::runtime_error("the module lacks an entry point");
    }
    return entry;
}
