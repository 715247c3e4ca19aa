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

// The file dialogs return paths of up to MAX_PATH - 1 units. Every one of them is written and
// replaced, however long its last name: the temporary file beside it must fit as well. The
// folder sits at the drive's root so that the names reach the 255-unit limit of a name.
TEST_F(FileIo, EveryPathTheDialogsReturnIsWrittenAndReplaced) {
    const fs::path folder = dir_.root_path() / dir_.filename();
    fs::create_directory(folder);
    struct RemoveAtEnd {
        fs::path folder;
        ~RemoveAtEnd() { fs::remove_all(folder); }
    } removeAtEnd{folder};
    for (const std::size_t length : {239u, 250u, 259u}) {
        SCOPED_TRACE(length);
        const std::wstring prefix = folder.wstring() + L"\\";
        const fs::path file = prefix + std::wstring(length - prefix.size(), L'f');
        ASSERT_EQ(file.wstring().size(), length);
        writeFile(utf8(file), Bytes{1});
        writeFile(utf8(file), Bytes{2, 3});
        EXPECT_EQ(contentsOf(file), (Bytes{2, 3}));
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 3);
}

} // namespace
} // namespace fileio_test
