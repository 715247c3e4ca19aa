#include "token/platform/ModuleLoader.h"

#include <dlfcn.h>
#include <link.h>

namespace token::platform {

const char* moduleFileName() noexcept {
    return "libvlPKCS11QRD.so";
}

LibraryHandle loadLibrary(const char* name) noexcept {
    return dlopen(name, RTLD_NOW | RTLD_LOCAL);
}

unsigned long lastLoadError() noexcept {
    // dlopen reports a text (dlerror), no number.
    return 0;
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

std::string loadedLibraryPath(const char* name) {
    void* library = dlopen(name, RTLD_NOW | RTLD_NOLOAD);
    if (library == nullptr) {
        return {};
    }
    link_map* map = nullptr;
    std::string path;
    if (dlinfo(library, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr) {
        path = map->l_name;
    }
    dlclose(library);
    return path;
}

void keepCurrentFolderOutOfSearch() noexcept {
    // dlopen searches no current folder for a bare name unless LD_LIBRARY_PATH names it.
}

} // namespace token::platform
