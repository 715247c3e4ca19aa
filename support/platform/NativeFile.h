// The platform's side of whole-file input and output. Failures are std::system_error (or the
// conversion and allocation exceptions of the standard library and utfcpp).
#pragma once

#include "support/Bytes.h"

#include <cstddef>
#include <string>

namespace platform {

// Reads from the start to end of file, however the file's size changes meanwhile. The file is
// opened without any sharing restriction.
Bytes readNativeFile(const std::u16string& path);

// Writes the bytes to a new temporary file beside the target, flushes it to the disk and moves
// it over the target. On failure the temporary file is removed and the target is untouched.
void replaceNativeFile(const std::u16string& path, const unsigned char* data, std::size_t size);

} // namespace platform
