#include "support/platform/NativeFile.h"
#include "tests/unit/FileIoFixture.h"

namespace fileio_test {
namespace {

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

// Reads and writes are split into transfers of a bounded size; the bytes at the seam and after
// it arrive in order.
TEST_F(FileIo, AFileLargerThanOneTransferRoundTrips) {
    Bytes data(platform::kMaxTransfer + 3);
    for (std::size_t i = 0; i < data.size(); i += 4093) {
        data[i] = static_cast<unsigned char>(i / 4093);
    }
    data[platform::kMaxTransfer - 1] = 0x5A;
    data[platform::kMaxTransfer] = 0xA5;
    data.back() = 0x7E;
    const std::string path = utf8(dir_ / "large.bin");
    writeFile(path, data);
    EXPECT_TRUE(readFile(path) == data);
}

// A file longer than the reader takes (here 4 GiB, for a token that takes at most 4 GiB - 1
// bytes) is refused from its size, before anything is read or allocated (the file is sparse,
// so it costs no disk space).
TEST_F(FileIo, AFileLongerThanTheReaderTakesIsRefusedBeforeItIsRead) {
    const fs::path file = dir_ / "huge.bin";
    put(file, Bytes{1});
    fs::resize_file(file, std::uintmax_t{1} << 32);
    EXPECT_THROW(readFile(utf8(file), 0xFFFFFFFFu), DataTooLargeException);
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

} // namespace
} // namespace fileio_test
