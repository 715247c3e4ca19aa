#include "support/platform/NativeFile.h"

#include <atomic>
#include <string>
#include <system_error>
#include <utility>
#include <windows.h>

namespace platform {
namespace {

// ReadFile and WriteFile take 32-bit counts; one call moves at most this much.
constexpr DWORD kMaxTransfer = DWORD{1} << 30;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

[[noreturn]] void throwLastError(const char* what) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), what);
}

const wchar_t* wide(const std::u16string& text) {
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

class Handle {
public:
    explicit Handle(HANDLE h) noexcept : h_(h) {}
    Handle(Handle&& other) noexcept : h_(std::exchange(other.h_, INVALID_HANDLE_VALUE)) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { reset(); }
    bool valid() const noexcept { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const noexcept { return h_; }
    // Closes now and reports the result: a failed close can mean lost data.
    void close() {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        if (!::CloseHandle(h)) {
            throwLastError("CloseHandle");
        }
    }
    void reset() noexcept {
        if (valid()) {
            ::CloseHandle(std::exchange(h_, INVALID_HANDLE_VALUE));
        }
    }

private:
    HANDLE h_;
};

std::size_t readSome(HANDLE file, unsigned char* data, std::size_t size) {
    DWORD done = 0;
    const DWORD want = size < kMaxTransfer ? static_cast<DWORD>(size) : kMaxTransfer;
    if (!::ReadFile(file, data, want, &done, nullptr)) {
        throwLastError("ReadFile");
    }
    return done;
}

// A name beside the target that no other file has yet; the file is created with it.
Handle createTemporary(const std::u16string& target, std::u16string& name) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const unsigned long long tag =
            (static_cast<unsigned long long>(::GetCurrentProcessId()) << 32) ^ ::GetTickCount64() ^
            (counter++ * 0x9E3779B9ULL);
        std::u16string suffix = u".";
        for (int shift = 60; shift >= 0; shift -= 4) {
            suffix += u"0123456789abcdef"[(tag >> shift) & 0xF];
        }
        name = target + suffix + u".tmp";
        Handle file(::CreateFileW(wide(name), GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.valid()) {
            return file;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) {
            throwLastError("CreateFileW");
        }
    }
    throw std::system_error(ERROR_FILE_EXISTS, std::system_category(), "CreateFileW");
}

} // namespace

Bytes readNativeFile(const std::u16string& path) {
    Handle file(::CreateFileW(wide(path), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid()) {
        throwLastError("CreateFileW");
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) {
        throwLastError("GetFileSizeEx");
    }

    Bytes contents(static_cast<std::size_t>(size.QuadPart));
    std::size_t filled = 0;
    for (;;) {
        if (filled < contents.size()) {
            const std::size_t n =
                readSome(file.get(), contents.data() + filled, contents.size() - filled);
            if (n == 0) {
                break; // the file shrank
            }
            filled += n;
            continue;
        }
        // The buffer is full: either this is the end, or the file grew since it was measured.
        unsigned char probe[64 * 1024];
        const std::size_t n = readSome(file.get(), probe, sizeof probe);
        if (n == 0) {
            break;
        }
        contents.insert(contents.end(), probe, probe + n);
        filled = contents.size();
    }
    contents.resize(filled);
    return contents;
}

void replaceNativeFile(const std::u16string& path, const unsigned char* data, std::size_t size) {
    std::u16string temporary;
    Handle file = createTemporary(path, temporary);
    try {
        while (size > 0) {
            const DWORD want = size < kMaxTransfer ? static_cast<DWORD>(size) : kMaxTransfer;
            DWORD done = 0;
            if (!::WriteFile(file.get(), data, want, &done, nullptr)) {
                throwLastError("WriteFile");
            }
            if (done == 0) {
                throw std::system_error(ERROR_WRITE_FAULT, std::system_category(), "WriteFile");
            }
            data += done;
            size -= done;
        }
        if (!::FlushFileBuffers(file.get())) {
            throwLastError("FlushFileBuffers");
        }
        file.close();
        if (!::MoveFileExW(wide(temporary), wide(path),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            throwLastError("MoveFileExW");
        }
    } catch (...) {
        file.reset();
        ::DeleteFileW(wide(temporary));
        throw;
    }
}

} // namespace platform
