#include "token/platform/ModuleLoader.h"

#include <dlfcn.h>

namespace token::platform {

const char* moduleFileName() noexcept {
    return "libvlPKCS11QRD.so";
}

LibraryHandle loadLibrary(const char* name) noexcept {
    return dlopen(name, RTLD_NOW | RTLD_LOCAL);
}

void* findSymbol(LibraryHandle library, const char* name) noexcept {
    return dlsym(library, name);
}

void freeLibrary(LibraryHandle library) noexcept {
    dlclose(library);
}

bool isLibraryLoaded(const char* name) noexcept {
    void* library = dlopen(name, RTLD_NOW | RTLD_NOLOAD);
    if (library == nullptr) {
        return false;
    }
    dlclose(library);
    return true;
}

} // namespace token::platform
