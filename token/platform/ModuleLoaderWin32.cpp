#include "support/TextConversion.h"
#include "token/platform/ModuleLoader.h"

#include <windows.h>

namespace token::platform {

const char* moduleFileName() noexcept {
    return "vlPKCS11QRD.dll";
}

LibraryHandle loadLibrary(const char* name) noexcept {
    return LoadLibraryA(name);
}

unsigned long lastLoadError() noexcept {
    return GetLastError();
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

std::string loadedLibraryPath(const char* name) {
    const HMODULE library = GetModuleHandleA(name);
    if (library == nullptr) {
        return {};
    }
    wchar_t path[32768];
    const DWORD length = GetModuleFileNameW(library, path, sizeof path / sizeof path[0]);
    if (length == 0 || length >= sizeof path / sizeof path[0]) {
        return {};
    }
    return wideToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(path), length));
}

void keepCurrentFolderOutOfSearch() noexcept {
    // Naming a folder takes the current one out on Windows and on Wine alike (Wine keeps it
    // for an empty name); the system folder is searched anyway, so naming it adds nothing.
    // The program's folder, the system folders and PATH still find the real module.
    wchar_t systemFolder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(systemFolder, MAX_PATH);
    SetDllDirectoryW(length > 0 && length < MAX_PATH ? systemFolder : L"");
}

} // namespace token::platform
