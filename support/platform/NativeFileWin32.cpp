#include "support/platform/NativeFile.h"
#include "support/platform/Win32FileCalls.h"
#include "token/Exception.h"

#include <atomic>
#include <string>
#include <system_error>
#include <utility>
#include <windows.h>

namespace platform {
namespace {

static_assert(kMaxTransfer <= MAXDWORD, "ReadFile and WriteFile take 32-bit counts");
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

[[noreturn]] void throwLastError(const char* what) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), what);
}

const wchar_t* wide(const std::u16string& text) {
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

// Antivirus scanners, indexers and sync clients open a file for a moment just after it was
// closed or renamed, and a step that needs the file to itself is refused meanwhile with one of
// these codes (ReplaceFileW says ERROR_UNABLE_TO_REMOVE_REPLACED when the file it replaces is
// held, and leaves both files under their own names). Such a step is tried again after each of
// these waits, about a second in all.
constexpr DWORD kBusyWaitsMs[] = {10, 20, 40, 80, 150, 300, 400};

bool busy(DWORD error) noexcept {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_ACCESS_DENIED || error == ERROR_UNABLE_TO_REMOVE_REPLACED;
}

// Runs the step (a call that returns true on success and sets the last error otherwise) until
// it succeeds, fails for another reason or the waits are spent; the last error stays the
// step's own.
template <typename Step>
bool retryWhileBusy(Step&& step) {
    for (const DWORD wait : kBusyWaitsMs) {
        if (step()) {
            return true;
        }
        if (!busy(::GetLastError())) {
            return false;
        }
        ::Sleep(wait);
    }
    return step();
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
    const auto want = static_cast<DWORD>(size < kMaxTransfer ? size : kMaxTransfer);
    if (!::ReadFile(file, data, want, &done, nullptr)) {
        throwLastError("ReadFile");
    }
    return done;
}

// The path in its extended-length form ("\\?\C:\..." or "\\?\UNC\server\share\..."),
// made absolute and normalised first, as that form is taken literally. The file functions take
// it beyond MAX_PATH units, which a temporary name beside a target of up to MAX_PATH - 1 units
// needs.
std::u16string extendedLength(const std::u16string& path) {
    std::u16string full(MAX_PATH, u'\0');
    for (;;) {
        const DWORD n = ::GetFullPathNameW(wide(path), static_cast<DWORD>(full.size()),
                                           reinterpret_cast<wchar_t*>(full.data()), nullptr);
        if (n == 0) {
            throwLastError("GetFullPathNameW");
        }
        if (n < full.size()) {
            full.resize(n);
            break;
        }
        full.resize(n);
    }
    if (full.starts_with(u"\\\\?\\") || full.starts_with(u"\\\\.\\")) {
        return full;
    }
    if (full.starts_with(u"\\\\")) {
        return u"\\\\?\\UNC\\" + full.substr(2);
    }
    return u"\\\\?\\" + full;
}

// A new file in the target's folder under a short name of its own: its length does not depend
// on the target's name, which may already be as long as a name can be.
Handle createTemporary(const std::u16string& target, std::u16string& name) {
    static std::atomic<unsigned> counter{0};
    const std::u16string folder = target.substr(0, target.rfind(u'\\') + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const unsigned long long tag =
            (static_cast<unsigned long long>(::GetCurrentProcessId()) << 32) ^ ::GetTickCount64() ^
            (counter++ * 0x9E3779B97F4A7C15ULL);
        name = folder + u"~wst";
        for (int shift = 60; shift >= 0; shift -= 4) {
            name += u"0123456789abcdef"[(tag >> shift) & 0xF];
        }
        name += u".tmp";
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

// Whether the target exists and can be replaced now. A folder, a file held open by a program
// that forbids deleting it, or a file this user may not delete is refused before anything is
// written: moving a file over it would fail, or (in some ReplaceFileW implementations) move it
// aside instead. A file that a scanner holds for a moment is waited for.
bool replaceableTargetExists(const std::u16string& target) {
    HANDLE opened = INVALID_HANDLE_VALUE;
    if (retryWhileBusy([&] {
            opened = ::CreateFileW(wide(target), DELETE | FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            return opened != INVALID_HANDLE_VALUE;
        })) {
        Handle existing(opened);
        return true;
    }
    if (::GetLastError() == ERROR_FILE_NOT_FOUND) {
        return false;
    }
    throwLastError("CreateFileW");
}

// Removes a file of this layer's own (the temporary or the backup file), waiting for a scanner
// that holds it; whether it is gone.
bool removeOwnFile(const std::u16string& name) {
    return retryWhileBusy([&] { return win32FileCalls().deleteFile(wide(name)) != FALSE; }) ||
           ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

// The name as the user knows it, without the extended-length prefix.
std::u16string shownName(const std::u16string& name) {
    if (name.starts_with(u"\\\\?\\UNC\\")) {
        return u"\\" + name.substr(7);
    }
    return name.starts_with(u"\\\\?\\") ? name.substr(4) : name;
}

enum class Restore {
    done,      // the replaced file is under its own name
    nameTaken, // another file took the target's name meanwhile
    failed,    // the replaced file could not be moved back
};

// After a failed replace, brings the replaced file back under its own name from the backup
// name, where ReplaceFileW leaves it when it fails with ERROR_UNABLE_TO_MOVE_REPLACEMENT_2.
// Never moves it over a file that holds the target's name.
Restore restoreReplaced(const std::u16string& backup, const std::u16string& target) {
    if (retryWhileBusy([&] {
            return win32FileCalls().moveFile(wide(backup), wide(target), MOVEFILE_WRITE_THROUGH) !=
                   FALSE;
        })) {
        return Restore::done;
    }
    switch (::GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
        return Restore::done; // no backup: the replaced file never left its name
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
        return Restore::nameTaken;
    default:
        return Restore::failed;
    }
}

// Puts the temporary file in the target's place. ReplaceFileW gives it the replaced file's
// attributes, security and creation time; a new target has none to keep. The replaced file
// goes through a backup name, so that a replace failing half-way leaves it there rather than
// nowhere (without a backup name, ERROR_UNABLE_TO_MOVE_REPLACEMENT means it is already gone):
// a failure puts it back under its own name. When it cannot, the old file stays under the
// backup name, which ReplaceInterrupted names; so does the new one under the temporary name,
// kept (keepTemporary) unless another file took the target's name meanwhile.
void moveIntoPlace(const std::u16string& temporary, const std::u16string& target, bool replace,
                   bool& keepTemporary) {
    const std::u16string backup = temporary.substr(0, temporary.size() - 4) + u".bak";
    if (replace) {
        if (retryWhileBusy([&] {
                return win32FileCalls().replaceFile(wide(target), wide(temporary), wide(backup),
                                                    REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                                                    nullptr) != FALSE;
            })) {
            // The old contents are of no more use; a backup a scanner keeps is left behind.
            removeOwnFile(backup);
            return;
        }
        const std::error_code error(static_cast<int>(::GetLastError()), std::system_category());
        if (error.value() != ERROR_FILE_NOT_FOUND) {
            switch (restoreReplaced(backup, target)) {
            case Restore::done:
                throw std::system_error(error, "ReplaceFileW");
            case Restore::nameTaken:
                throw ReplaceInterrupted(error, shownName(backup), {});
            case Restore::failed:
                keepTemporary = true;
                throw ReplaceInterrupted(error, shownName(backup), shownName(temporary));
            }
        }
        // The target went away meanwhile: the file is new after all.
    }
    if (!retryWhileBusy([&] {
            return win32FileCalls().moveFile(wide(temporary), wide(target),
                                             MOVEFILE_WRITE_THROUGH) != FALSE;
        })) {
        throwLastError("MoveFileExW");
    }
    if (replace) {
        // A replace refused part-way may have moved the file that went away to the backup name.
        removeOwnFile(backup);
    }
}

} // namespace

Win32FileCalls& win32FileCalls() noexcept {
    static Win32FileCalls calls;
    return calls;
}

Bytes readNativeFile(const std::u16string& path, std::uint64_t longest) {
    Handle file(::CreateFileW(wide(path), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid()) {
        throwLastError("CreateFileW");
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) {
        throwLastError("GetFileSizeEx");
    }
    if (static_cast<std::uint64_t>(size.QuadPart) > longest) {
        throw DataTooLargeException();
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
        if (contents.size() + n > longest) {
            throw DataTooLargeException();
        }
        contents.insert(contents.end(), probe, probe + n);
        filled = contents.size();
    }
    contents.resize(filled);
    return contents;
}

void replaceNativeFile(const std::u16string& path, const unsigned char* data, std::size_t size) {
    const std::u16string target = extendedLength(path);
    const bool replace = replaceableTargetExists(target);
    std::u16string temporary;
    Handle file = createTemporary(target, temporary);
    bool keepTemporary = false;
    try {
        while (size > 0) {
            const auto want = static_cast<DWORD>(size < kMaxTransfer ? size : kMaxTransfer);
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
        // Some redirectors (WebDAV, some NAS) cannot flush and say so; what they hold is
        // written through by their own means.
        if (!win32FileCalls().flushFileBuffers(file.get()) &&
            ::GetLastError() != ERROR_INVALID_FUNCTION && ::GetLastError() != ERROR_NOT_SUPPORTED) {
            throwLastError("FlushFileBuffers");
        }
        file.close();
        moveIntoPlace(temporary, target, replace, keepTemporary);
    } catch (...) {
        file.reset();
        if (!keepTemporary) {
            removeOwnFile(temporary);
        }
        throw;
    }
}

} // namespace platform
