#include "ui/win32/Theme.h"

#include <string>
#include <uxtheme.h>

namespace {

// A DLL of the system folder, its own dependencies looked for there too; null when missing.
HMODULE loadSystemLibrary(const wchar_t* name) {
    if (HMODULE library = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        return library;
    }
    // A system without the search flags (Windows 7 before KB2533623) refuses them as invalid:
    // the full name in the system folder then.
    if (GetLastError() != ERROR_INVALID_PARAMETER) {
        return nullptr;
    }
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return nullptr;
    }
    const std::wstring path = std::wstring(folder, length) + L"\\" + name;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

using EnableTexture = HRESULT(WINAPI*)(HWND, DWORD);

// Looked up once and kept for the process, as the library stays loaded.
EnableTexture enableTextureFunction() {
    static const EnableTexture function = []() -> EnableTexture {
        HMODULE library = loadSystemLibrary(L"uxtheme.dll");
        return library != nullptr ? reinterpret_cast<EnableTexture>(reinterpret_cast<void*>(
                                        GetProcAddress(library, "EnableThemeDialogTexture")))
                                  : nullptr;
    }();
    return function;
}

} // namespace

void enableTabPageTexture(HWND page) {
    if (const EnableTexture enable = enableTextureFunction()) {
        enable(page, ETDT_ENABLETAB);
    }
}
