#include "emulator/core/platform/StateStorage.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace emulator::platform {
namespace {

[[noreturn]] void throwErrno(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

// Owner read and write, narrowed further by an existing file's mode.
mode_t modeFor(const std::string& target) {
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0) {
        return existing.st_mode & (S_IRUSR | S_IWUSR);
    }
    return S_IRUSR | S_IWUSR;
}

void writeAll(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size);
        if (done < 0) {
            if (errno == EINTR) {
                continue;
            }
            throwErrno("write");
        }
        data += done;
        size -= static_cast<std::size_t>(done);
    }
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

FileLock::FileLock(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0) {
        throwErrno("cannot open the lock file " + path);
    }
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            const int error = errno;
            ::close(fd);
            throw std::system_error(error, std::generic_category(), "cannot lock " + path);
        }
    }
    handle_ = fd;
}

FileLock::~FileLock() {
    // Closing the descriptor releases the lock.
    ::close(static_cast<int>(handle_));
}

void replaceFile(const std::string& target, const std::string& temporary, const unsigned char* data,
                 std::size_t size) {
    const mode_t mode = modeFor(target);
    if (::unlink(temporary.c_str()) != 0 && errno != ENOENT) {
        throwErrno("cannot remove " + temporary);
    }
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
        throwErrno("cannot create " + temporary);
    }
    try {
        // The creation mode passes through the umask; the file gets exactly the mode wanted.
        if (::fchmod(fd, mode) != 0) {
            throwErrno("fchmod");
        }
        writeAll(fd, data, size);
        if (::fsync(fd) != 0) {
            throwErrno("fsync");
        }
    } catch (...) {
        ::close(fd);
        ::unlink(temporary.c_str());
        throw;
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw std::system_error(error, std::generic_category(), "close");
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw std::system_error(error, std::generic_category(), "cannot replace " + target);
    }
    // The rename is durable only once the folder is on the disk too.
    const int folder = ::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        throwErrno("cannot open the folder of " + target);
    }
    const int synced = ::fsync(folder);
    const int error = errno;
    ::close(folder);
    if (synced != 0) {
        throw std::system_error(error, std::generic_category(), "fsync of the folder");
    }
}

} // namespace emulator::platform
