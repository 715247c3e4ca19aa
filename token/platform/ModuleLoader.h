// The platform's dynamic library loader, as the module binding needs it.
#pragma once

namespace token::platform {

using LibraryHandle = void*;

// The file name of the token maker's module, without a directory: the platform's search
// path finds it.
const char* moduleFileName() noexcept;

// Loads a library; null when it cannot be loaded.
LibraryHandle loadLibrary(const char* name) noexcept;

// The address of an exported entry point; null when the library has none of that name.
void* findSymbol(LibraryHandle library, const char* name) noexcept;

void freeLibrary(LibraryHandle library) noexcept;

// Whether the library is loaded in this process now; loads nothing.
bool isLibraryLoaded(const char* name) noexcept;

} // namespace token::platform
