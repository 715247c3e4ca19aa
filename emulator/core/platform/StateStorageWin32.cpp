#include "emulator/core/platform/StateStorage.h"
#include "support/TextConversion.h"

#include <string>
#include <system_error>
#include <windows.h>

namespace emulator::platform {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// WriteFile takes a 32-bit count; one call moves at most this much.
constexpr DWORD kMaxTransfer = DWORD{1} << 30;

[[noreturn]] void throwLastError(const std::string& what) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), what);
}

std::wstring wide(const std::string& utf8) {
    const std::u16string text = utf8ToWide(utf8);
    return std::wstring(text.begin(), text.end());
}

void writeAll(HANDLE file, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        DWORD done = 0;
        const DWORD want = size < kMaxTransfer ? static_cast<DWORD>(size) : kMaxTransfer;
        if (!::WriteFile(file, data, want, &done, nullptr)) {
            throwLastError("WriteFile");
        }
        data += done;
        size -= done;
    }
}

} // namespace

FileLock::FileLock(const std::string& path) {
    const HANDLE file = ::CreateFileW(wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throwLastError("cannot open the lock file " + path);
    }
    OVERLAPPED at{};
    if (!::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at)) {
        const DWORD error = ::GetLastError();
        ::CloseHandle(file);
        throw std::system_error(static_cast<int>(error), std::system_category(),
                                "cannot lock " + path);
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
}

FileLock::~FileLock() {
    const auto file = reinterpret_cast<HANDLE>(handle_);
    OVERLAPPED at{};
    ::UnlockFileEx(file, 0, 1, 0, &at);
    ::CloseHandle(file);
}

// The file inherits the security of its folder (the per-user data folder is the user's own).
void replaceFile(const std::string& target, const std::string& temporary, const unsigned char* data,
                 std::size_t size) {
    const std::wstring targetName = wide(target);
    const std::wstring temporaryName = wide(temporary);
    if (!::DeleteFileW(temporaryName.c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND) {
        throwLastError("cannot remove " + temporary);
    }
    const HANDLE file = ::CreateFileW(temporaryName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throwLastError("cannot create " + temporary);
    }
    try {
        writeAll(file, data, size);
        if (!::FlushFileBuffers(file)) {
            throwLastError("FlushFileBuffers");
        }
    } catch (...) {
        ::CloseHandle(file);
        ::DeleteFileW(temporaryName.c_str());
        throw;
    }
    if (!::CloseHandle(file)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(temporaryName.c_str());
        throw std::system_error(static_cast<int>(error), std::system_category(), "CloseHandle");
    }
    if (!::MoveFileExW(temporaryName.c_str(), targetName.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(temporaryName.c_str());
        throw std::system_error(static_cast<int>(error), std::system_category(),
                                "cannot replace " + target);
    }
}

} // namespace emulator::platform
