#include "tests/unit/FileIoFixture.h"

#include <windows.h>

namespace fileio_test {
namespace {

// Another program holds the file open without sharing it: nothing can be read, and the file is
// neither replaced nor damaged by a write.
TEST_F(FileIo, FileLockedByAnotherProgram) {
    const fs::path file = dir_ / fs::path(u8"занят.bin");
    put(file, Bytes{5, 6, 7});
    HANDLE held = ::CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(readFailsWith(false, [&] { readFile(utf8(file)); }));
    EXPECT_THROW(writeFile(utf8(file), Bytes{1}), WriteFileException);
    ::CloseHandle(held);
    EXPECT_EQ(contentsOf(file), (Bytes{5, 6, 7}));
    EXPECT_EQ(entries(), 1u);
}

// A file that another program holds open with full sharing can still be read.
TEST_F(FileIo, FileOpenWithFullSharingCanBeRead) {
    const fs::path file = dir_ / "shared.bin";
    put(file, Bytes{1, 2});
    HANDLE held = ::CreateFileW(file.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(readFile(utf8(file)), (Bytes{1, 2}));
    ::CloseHandle(held);
}

} // namespace
} // namespace fileio_test
