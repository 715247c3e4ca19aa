#include "tests/unit/FileIoFixture.h"

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
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

// A file system that fills up while the file is written: the old file stays as it was and the
// temporary file is removed. The file size limit makes write() fail as a full disk would.
TEST_F(FileIo, FullFileSystemKeepsTheOldFile) {
    const fs::path file = dir_ / "journal.bin";
    put(file, Bytes(100, 0x42));

    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_THROW(writeFile(utf8(file), Bytes(1 << 20, 0x01)), WriteFileException);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(contentsOf(file), Bytes(100, 0x42));
    EXPECT_EQ(entries(), 1u);
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
