#include "tests/unit/FileIoFixture.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fileio_test {
namespace {

TEST_F(FileIo, UnreadableFileAndUnwritableFolderFail) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not bind root";
    }
    const fs::path secret = dir_ / "secret";
    put(secret, Bytes{1});
    fs::permissions(secret, fs::perms::none);
    EXPECT_TRUE(readFailsWith(false, [&] { readFile(utf8(secret)); }));

    const fs::path locked = dir_ / "locked";
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_THROW(writeFile(utf8(locked / "out"), Bytes{1}), WriteFileException);
    fs::permissions(locked, fs::perms::owner_all);
    EXPECT_TRUE(fs::is_empty(locked));
}

// The child that writes onto a full file system exits with this when it can mount none.
constexpr int kCannotMount = 77;

// A mount namespace of its own, so that a mount goes with the process whatever happens.
bool enterMountNamespace() {
    if (::geteuid() == 0) {
        return ::unshare(CLONE_NEWNS) == 0;
    }
    // Without root, a user namespace in which this user is root; its files stay this user's.
    const std::string users = "0 " + std::to_string(::geteuid()) + " 1";
    const std::string groups = "0 " + std::to_string(::getegid()) + " 1";
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
        return false;
    }
    std::ofstream("/proc/self/setgroups") << "deny";
    std::ofstream userMap("/proc/self/uid_map");
    userMap << users;
    userMap.close();
    std::ofstream groupMap("/proc/self/gid_map");
    groupMap << groups;
    groupMap.close();
    return userMap.good() && groupMap.good();
}

// A 64 KiB tmpfs over `dir`, holding a small file that a 1 MiB write then tries to replace.
int writeOntoAFullFileSystem(const fs::path& dir) {
    if (!enterMountNamespace() ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k") != 0) {
        return kCannotMount;
    }
    const fs::path file = dir / "journal.bin";
    put(file, Bytes(100, 0x42));
    try {
        writeFile(utf8(file), Bytes(1 << 20, 0x01));
        return 1;
    } catch (const WriteFileException&) {
    }
    if (contentsOf(file) != Bytes(100, 0x42)) {
        return 2;
    }
    return std::distance(fs::directory_iterator(dir), fs::directory_iterator()) == 1 ? 0 : 3;
}

// A file system that fills up while the file is written: the write is refused, the old file
// stays as it was and the temporary file is removed.
TEST_F(FileIo, FullFileSystemKeepsTheOldFile) {
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        ::_exit(writeOntoAFullFileSystem(dir_));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the writing process died";
    if (WEXITSTATUS(status) == kCannotMount) {
        GTEST_SKIP() << "this machine lets the test mount no small file system (no root and no "
                        "user namespaces)";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "1: the write was not refused, 2: the old file changed, 3: a file was "
           "left behind";
}

TEST_F(FileIo, DeviceTargetIsNeverReplaced) {
    EXPECT_THROW(writeFile("/dev/null", Bytes{1}), WriteFileException);
    struct stat st {};
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

// A pipe has no size to measure: everything written into it is still read to the end.
TEST_F(FileIo, ReadsAStreamOfUnknownSize) {
    const fs::path fifo = dir_ / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Bytes sent(300000);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        sent[i] = static_cast<unsigned char>(i * 7);
    }
    std::thread writer([&] { put(fifo, sent); });
    const Bytes received = readFile(utf8(fifo));
    writer.join();
    EXPECT_EQ(received, sent);
}

TEST_F(FileIo, SymbolicLinkTargetKeepsTheLink) {
    const fs::path real = dir_ / "real.sig";
    const fs::path link = dir_ / "link.sig";
    put(real, Bytes{1});
    fs::create_symlink(real, link);
    writeFile(utf8(link), Bytes{2, 3});
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(contentsOf(real), (Bytes{2, 3}));
}

// A name of 250 bytes, near the file system's limit of 255: the temporary file beside it must
// not need a longer one.
TEST_F(FileIo, ANameNearTheLengthLimitIsWrittenAndReplaced) {
    const fs::path file = dir_ / std::string(250, 'n');
    writeFile(utf8(file), Bytes{1});
    writeFile(utf8(file), Bytes{2, 3});
    EXPECT_EQ(contentsOf(file), (Bytes{2, 3}));
    EXPECT_EQ(entries(), 1u);
}

} // namespace
} // namespace fileio_test
