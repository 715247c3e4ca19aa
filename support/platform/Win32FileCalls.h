// The Win32 calls through which the file layer flushes a written file and puts it in place.
// The product always uses the system's own; a test may replace entries to reach outcomes that
// the system gives only under conditions a test cannot make (a replace that fails half-way, a
// network file system without flushing, a scanner that opens a file at the wrong moment).
#pragma once

#include <windows.h>

namespace platform {

struct Win32FileCalls {
    decltype(&::FlushFileBuffers) flushFileBuffers = &::FlushFileBuffers;
    decltype(&::ReplaceFileW) replaceFile = &::ReplaceFileW;
    decltype(&::MoveFileExW) moveFile = &::MoveFileExW;
    decltype(&::DeleteFileW) deleteFile = &::DeleteFileW;
};

// The calls in use, for the file layer and for tests that swap them (and put them back).
Win32FileCalls& win32FileCalls() noexcept;

} // namespace platform
