// Whole files in and out of memory, as opaque bytes. Paths are UTF-8 and are opened by their
// UTF-16 form.
#pragma once

#include "support/Bytes.h"

#include <cstdint>
#include <limits>
#include <string_view>

// The whole file; never empty. A file longer than `longest` bytes throws DataTooLargeException
// before anything is read. Otherwise throws ReadFileException: zeroLength true for an empty
// file, false for every other failure (missing, unreadable, a folder, an invalid path).
Bytes readFile(std::string_view path,
               std::uint64_t longest = std::numeric_limits<std::uint64_t>::max());

// Replaces the file with exactly these bytes, or leaves any existing file untouched and throws
// WriteFileException. The bytes are written to a temporary file beside the target, flushed to
// disk, and only then moved over the target. A replace that fails half-way and cannot be
// undone throws ReplaceInterruptedException, which names the files that hold the old and the
// new contents.
void writeFile(std::string_view path, const Bytes& contents);
