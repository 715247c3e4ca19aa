#include "support/FileIo.h"

#include "token/Exception.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <string>
#include <thread>

#if !defined(_WIN32)
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

std::string utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

Bytes contentsOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void put(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

class FileIo : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        dir_ = fs::temp_directory_path() / ("fileio-" + std::to_string(random()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Entries of the test folder: a failed write must leave no temporary file behind.
    std::size_t entries() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }

    fs::path dir_;
};

template <typename F>
bool readFailsWith(bool zeroLength, F&& read) {
    try {
        read();
    } catch (const ReadFileException& e) {
        return e.zeroLength() == zeroLength;
    }
    return false;
}

TEST_F(FileIo, RoundTripKeepsEveryByte) {
    Bytes all;
    for (int i = 0; i < 256; ++i) {
        all.push_back(static_cast<unsigned char>(i));
    }
    all.insert(all.end(), {0x0D, 0x0A, 0x1A, 0x00, 0x0A, 0x0D});
    const std::string path = utf8(dir_ / "bytes.bin");
    writeFile(path, all);
    EXPECT_EQ(readFile(path), all);
    EXPECT_EQ(contentsOf(dir_ / "bytes.bin"), all);
    EXPECT_EQ(entries(), 1u);
}

TEST_F(FileIo, OverwritingLeavesExactlyTheNewBytes) {
    const fs::path file = dir_ / "out.dig";
    put(file, Bytes(10000, 0xAA));
    writeFile(utf8(file), Bytes{1, 2, 3});
    EXPECT_EQ(contentsOf(file), (Bytes{1, 2, 3}));

    writeFile(utf8(file), Bytes{});
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(fs::file_size(file), 0u);
    EXPECT_EQ(entries(), 1u);
}

TEST_F(FileIo, SameFileAsInputAndOutputIsReplacedByTheResult) {
    const std::string path = utf8(dir_ / "data.bin");
    writeFile(path, Bytes(5000, 0x11));
    Bytes data = readFile(path);
    for (auto& b : data) {
        b ^= 0xFF;
    }
    writeFile(path, data);
    EXPECT_EQ(readFile(path), Bytes(5000, 0xEE));
}

TEST_F(FileIo, CyrillicAndAstralPathsAreOpenedByTheirWideForm) {
    const fs::path folder = dir_ / fs::path(u8"Документы \U0001F600");
    fs::create_directories(folder);
    const fs::path file = folder / fs::path(u8"подпись \U00010348.sig");
    writeFile(utf8(file), Bytes{0xD0, 0x9F});
    EXPECT_TRUE(fs::exists(file)); // the name on disk is the real one, not a mangled form
    EXPECT_EQ(readFile(utf8(file)), (Bytes{0xD0, 0x9F}));
}

TEST_F(FileIo, ReadFailuresAreReadFileExceptions) {
    put(dir_ / "empty", Bytes{});
    EXPECT_TRUE(readFailsWith(true, [&] { readFile(utf8(dir_ / "empty")); }));
    EXPECT_TRUE(readFailsWith(false, [&] { readFile(utf8(dir_ / "missing")); }));
    EXPECT_TRUE(readFailsWith(false, [&] { readFile(utf8(dir_)); }));
    EXPECT_TRUE(readFailsWith(false, [&] { readFile(utf8(dir_) + "/\xCD\xE5.bin"); }));
    EXPECT_TRUE(readFailsWith(false, [&] { readFile(utf8(dir_) + "/\xED\xA0\x80.bin"); }));
    EXPECT_TRUE(readFailsWith(false, [&] { readFile(""); }));
}

TEST_F(FileIo, WriteFailuresLeaveNothingBehind) {
    EXPECT_THROW(writeFile(utf8(dir_ / "no-such-folder" / "out.sig"), Bytes{1}),
                 WriteFileException);
    EXPECT_THROW(writeFile(utf8(dir_) + "/\xCD\xE5.sig", Bytes{1}), WriteFileException);
    EXPECT_THROW(writeFile(utf8(dir_) + "/\xED\xA0\x80.sig", Bytes{1}), WriteFileException);

    const fs::path folder = dir_ / "folder";
    fs::create_directory(folder);
    put(folder / "inside", Bytes{7});
    EXPECT_THROW(writeFile(utf8(folder), Bytes{1, 2}), WriteFileException);
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(contentsOf(folder / "inside"), Bytes{7});
    EXPECT_EQ(entries(), 1u);
}

#if !defined(_WIN32)

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

#endif

} // namespace
