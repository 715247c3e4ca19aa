// The platform's side of keeping the state file: an exclusive lock that every process using the
// file (the module in any program, qrd-token) takes around each read-change-write, and the
// atomic replacement of the file's contents. Paths are UTF-8. Failures are std::system_error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace emulator::platform {

// An exclusive lock on the file `path` (created empty and owner-only when missing), held until
// destruction; the constructor waits while another process or handle holds it. The lock is on a
// file of its own because the state file itself is replaced, not rewritten, on every save.
class FileLock {
public:
    explicit FileLock(const std::string& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    std::intptr_t handle_;
};

// Writes the bytes to `temporary`, flushes them to the disk and moves the file over `target`.
// The temporary name is fixed and used only under the lock, so one left behind by a process that
// died while saving is simply replaced here. The file is readable by its owner only (an existing
// target's stricter mode is kept). On failure the temporary file is removed and the target is
// as it was.
void replaceFile(const std::string& target, const std::string& temporary, const unsigned char* data,
                 std::size_t size);

} // namespace emulator::platform
