#include "support/TextConversion.h"
#include "support/platform/NativeFile.h"
#include "token/Exception.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace platform {
namespace {

[[noreturn]] void throwErrno(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

class Descriptor {
public:
    explicit Descriptor(int fd) noexcept : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const noexcept { return fd_; }
    // Closes now and reports the result: a failed close can mean lost data.
    void close() {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) {
            throwErrno("close");
        }
    }

private:
    int fd_;
};

std::size_t readSome(int fd, unsigned char* data, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, data, size < kMaxTransfer ? size : kMaxTransfer);
        if (n >= 0) {
            return static_cast<std::size_t>(n);
        }
        if (errno != EINTR) {
            throwErrno("read");
        }
    }
}

void writeAll(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size < kMaxTransfer ? size : kMaxTransfer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            throwErrno("write");
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

// The file a path names: a symbolic link is followed, so that replacing the file keeps the
// link. A path that does not exist yet stays as it is.
std::string resolveTarget(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return path;
    }
    std::string result(resolved);
    std::free(resolved);
    return result;
}

// The permissions the written file gets: those of the file it replaces, or the usual ones of a
// new file. Only a regular file is ever replaced: a folder, a device or a pipe that happens to
// carry the name is refused, never swapped for a file.
mode_t modeForNewFile(const std::string& target) {
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            throw std::system_error(EEXIST, std::generic_category(), "not a regular file");
        }
        return st.st_mode & 07777;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// The cached pages of the file about to be replaced are of no more use. Dropping them before
// the new contents are written spares the kernel reclaiming memory while it writes (the old
// and the new file would otherwise both sit in the page cache). Only a hint: the file on disk
// is untouched, and failing to give the hint changes nothing.
void dropCachedPages(const std::string& target) noexcept {
    const int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

// A new file in the folder under a short name of its own, readable by the owner only until
// its mode is set. The name does not grow with the target's, so a target whose name is as
// long as the file system allows can still be replaced.
Descriptor createTemporary(int folder, std::string& name) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::uint64_t tag = static_cast<std::uint64_t>(::getpid()) << 32;
        tag ^=
            static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        tag ^= counter++ * 0x9E3779B97F4A7C15ULL;
        name = ".wst-";
        for (int shift = 60; shift >= 0; shift -= 4) {
            name += "0123456789abcdef"[(tag >> shift) & 0xF];
        }
        name += ".tmp";
        const int fd =
            ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            return Descriptor(fd);
        }
        if (errno != EEXIST) {
            throwErrno("openat");
        }
    }
    throw std::system_error(EEXIST, std::generic_category(), "openat");
}

} // namespace

Bytes readNativeFile(const std::u16string& path, std::uint64_t longest) {
    const std::string name = wideToUtf8(path);
    Descriptor fd(::open(name.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        throwErrno("open");
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        throwErrno("fstat");
    }
    if (S_ISDIR(st.st_mode)) {
        throw std::system_error(EISDIR, std::generic_category(), "open");
    }

    if (S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_size) > longest) {
        throw DataTooLargeException();
    }

    Bytes contents(S_ISREG(st.st_mode) ? static_cast<std::size_t>(st.st_size) : 0);
    std::size_t filled = 0;
    for (;;) {
        if (filled < contents.size()) {
            const std::size_t n =
                readSome(fd.get(), contents.data() + filled, contents.size() - filled);
            if (n == 0) {
                break; // the file shrank
            }
            filled += n;
            continue;
        }
        // The buffer is full: either this is the end, or the file grew since it was measured.
        unsigned char probe[64 * 1024];
        const std::size_t n = readSome(fd.get(), probe, sizeof probe);
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
    const std::string target = resolveTarget(wideToUtf8(path));
    const mode_t mode = modeForNewFile(target);
    const std::string::size_type slash = target.rfind('/');
    const std::string folderPath = slash == std::string::npos ? "."
                                   : slash == 0               ? "/"
                                                              : target.substr(0, slash);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    Descriptor folder(::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) {
        throwErrno("open");
    }
    dropCachedPages(target);
    std::string temporary;
    Descriptor fd = createTemporary(folder.get(), temporary);
    bool renamed = false;
    try {
        if (::fchmod(fd.get(), mode) != 0) {
            throwErrno("fchmod");
        }
        writeAll(fd.get(), data, size);
        if (::fsync(fd.get()) != 0) {
            throwErrno("fsync");
        }
        fd.close();
        if (::renameat(folder.get(), temporary.c_str(), folder.get(), name.c_str()) != 0) {
            throwErrno("rename");
        }
        renamed = true;
        // The new name lives in the folder: until the folder is on the disk, a power cut can
        // bring back the old file. If that sync fails the new file is in place but may not
        // last, and the caller hears of it. A file system that cannot sync a folder at all
        // (EINVAL) keeps its names on the disk by other means.
        if (::fsync(folder.get()) != 0 && errno != EINVAL) {
            throwErrno("fsync");
        }
    } catch (...) {
        if (!renamed) {
            ::unlinkat(folder.get(), temporary.c_str(), 0);
        }
        throw;
    }
}

} // namespace platform
