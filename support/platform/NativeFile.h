// The platform's side of whole-file input and output. Failures are std::system_error (or the
// conversion and allocation exceptions of the standard library and utfcpp), and
// DataTooLargeException for a file longer than its reader takes.
#pragma once

#include "support/Bytes.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <system_error>
#include <utility>

namespace platform {

// A replace that failed half-way and could not be undone: the old contents stay under
// another name, and the new ones, when they were kept, under a third (else empty). The names
// are those a user can type, for the message that says where the files are.
class ReplaceInterrupted : public std::system_error {
public:
    ReplaceInterrupted(std::error_code code, std::u16string oldContents, std::u16string newContents)
        : std::system_error(code, "ReplaceFileW"), oldContents_(std::move(oldContents)),
          newContents_(std::move(newContents)) {}
    const std::u16string& oldContents() const noexcept { return oldContents_; }
    const std::u16string& newContents() const noexcept { return newContents_; }

private:
    std::u16string oldContents_;
    std::u16string newContents_;
};

// Reads and writes move at most this much per system call: some network redirectors refuse a
// single transfer of hundreds of MiB, and larger calls are no faster.
inline constexpr std::size_t kMaxTransfer = std::size_t{32} << 20;

// Reads from the start to end of file, however the file's size changes meanwhile. The file is
// opened without any sharing restriction. A file of more than `longest` bytes (by its size, or
// as it grows while read) throws DataTooLargeException.
Bytes readNativeFile(const std::u16string& path,
                     std::uint64_t longest = std::numeric_limits<std::uint64_t>::max());

// Writes the bytes to a new temporary file beside the target, flushes it to the disk and moves
// it over the target. On failure the temporary file is removed and the target is untouched,
// but for a replace that failed half-way and could not be undone (ReplaceInterrupted).
void replaceNativeFile(const std::u16string& path, const unsigned char* data, std::size_t size);

} // namespace platform
