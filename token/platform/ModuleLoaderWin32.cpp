#include "token/platform/ModuleLoader.h"

#include <windows.h>

namespace token::platform {

const char* moduleFileName() noexcept {
    return "vlPKCS11QRD.dll";
}

LibraryHandle loadLibrary(const char* name) noexcept {
    return LoadLibraryA(name);
}

void* findSymbol(LibraryHandle library, const char* name) noexcept {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void freeLibrary(LibraryHandle library) noexcept {
    FreeLibrary(static_cast<HMODULE>(library));
}

bool isLibraryLoaded(const char* name) noexcept {
    return GetModuleHandleA(name) != nullptr;
}

} // namespace token::platform
