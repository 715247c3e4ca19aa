// The suite against the module, loaded by its bare name from the loader's search path.
#include "tests/emulator/Harness.h"

#include <dlfcn.h>
#include <stdexcept>
#include <string>

ModuleEntry moduleEntry() {
    static void* const library = dlopen("libvlPKCS11QRD.so", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        throw std::runtime_error(std::string("dlopen: ") + dlerror());
    }
    ModuleEntry entry{};
    entry.getFunctionList =
        reinterpret_cast<decltype(entry.getFunctionList)>(dlsym(library, "C_GetFunctionList"));
    entry.getFunctionListExtended = reinterpret_cast<decltype(entry.getFunctionListExtended)>(
        dlsym(library, "C_EX_GetFunctionListExtended"));
    if (entry.getFunctionList == nullptr || entry.getFunctionListExtended == nullptr) {
        throw std::runtime_error("the module lacks an entry point");
    }
    return entry;
}
