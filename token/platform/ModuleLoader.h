// The platform's dynamic library loader, as the module binding needs it.
#pragma once

#include <string>

namespace token::platform {

using LibraryHandle = void*;

// The file name of the token maker's module, without a directory: the platform's search
// path finds it.
const char* moduleFileName() noexcept;

// Loads a library; null when it cannot be loaded.
LibraryHandle loadLibrary(const char* name) noexcept;

// The loader's error number for the loadLibrary call that just failed (GetLastError on
// Windows); 0 where the loader gives none.
unsigned long lastLoadError() noexcept;

// The address of an exported entry point; null when the library has none of that name.
void* findSymbol(LibraryHandle library, const char* name) noexcept;

void freeLibrary(LibraryHandle library) noexcept;

// Whether the library is loaded in this process now; loads nothing.
bool isLibraryLoaded(const char* name) noexcept;

// The full path (UTF-8) of the file from which the library of that name was loaded; empty
// when it is not loaded or the system does not say.
std::string loadedLibraryPath(const char* name);

// Takes the current folder out of the search path of libraries loaded by a bare name, so
// that a file named like the module in the folder a program starts in is never run. Called
// by a program's entry before anything is loaded.
void keepCurrentFolderOutOfSearch() noexcept;

} // namespace token::platform
