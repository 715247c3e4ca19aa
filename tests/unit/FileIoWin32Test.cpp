#include "support/platform/Win32FileCalls.h"
#include "tests/unit/FileIoFixture.h"

#include <optional>
#include <thread>
#include <windows.h>

namespace fileio_test {
namespace {

// Holds a file open without sharing its deletion, as a scanner or an indexer does, from
// construction until the time is up (INFINITE: until destruction).
class Holder {
public:
    Holder(const fs::path& file, DWORD milliseconds)
        : handle_(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)),
          release_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), thread_([this, milliseconds] {
              ::WaitForSingleObject(release_, milliseconds);
              ::CloseHandle(handle_);
          }) {}
    ~Holder() {
        ::SetEvent(release_);
        thread_.join();
        ::CloseHandle(release_);
    }
    bool holds() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
    HANDLE release_;
    std::thread thread_;
};

// What the file layer's calls answer instead of the system, for one test. A count of calls to
// refuse is the next so many calls, -1 every call.
struct Faults {
    DWORD busyCode = ERROR_SHARING_VIOLATION;
    int busyReplaces = 0;
    int busyMoves = 0;
    int busyDeletes = 0;
    // ERROR_UNABLE_TO_MOVE_REPLACEMENT or ..._2: the replace leaves the files as documented
    // for that code and fails, and the replacement can then be moved nowhere.
    DWORD replaceHalfWay = 0;
    // After a half-way replace: another program makes a file under the target's name, or the
    // replaced file cannot be moved back from the backup name (this code).
    bool takeName = false;
    DWORD restoreError = 0;
    DWORD flushError = 0;
};
Faults faults;
std::wstring stuck; // the replacement of a replace that failed half-way

bool refuse(int& count) {
    if (count == 0) {
        return false;
    }
    if (count > 0) {
        --count;
    }
    ::SetLastError(faults.busyCode);
    return true;
}

BOOL WINAPI fakeReplace(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags,
                        LPVOID exclude, LPVOID reserved) {
    if (refuse(faults.busyReplaces)) {
        return FALSE;
    }
    if (faults.replaceHalfWay == 0) {
        return ::ReplaceFileW(replaced, replacement, backup, flags, exclude, reserved);
    }
    stuck = replacement;
    if (faults.replaceHalfWay == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
        // The replaced file is under the backup name, or one of the system's choosing.
        ::MoveFileW(replaced, backup != nullptr ? backup : (std::wstring(replaced) + L"~").c_str());
        if (faults.takeName) {
            put(fs::path(replaced), Bytes{7});
        }
    } else if (backup == nullptr) {
        ::DeleteFileW(replaced); // without a backup name the replaced file is gone
    }
    ::SetLastError(faults.replaceHalfWay);
    return FALSE;
}

BOOL WINAPI fakeMove(LPCWSTR from, LPCWSTR to, DWORD flags) {
    if (stuck == from) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (faults.restoreError != 0 && std::wstring_view(from).ends_with(L".bak")) {
        ::SetLastError(faults.restoreError);
        return FALSE;
    }
    return refuse(faults.busyMoves) ? FALSE : ::MoveFileExW(from, to, flags);
}

BOOL WINAPI fakeDelete(LPCWSTR name) {
    return refuse(faults.busyDeletes) ? FALSE : ::DeleteFileW(name);
}

BOOL WINAPI fakeFlush(HANDLE file) {
    if (faults.flushError != 0) {
        ::SetLastError(faults.flushError);
        return FALSE;
    }
    return ::FlushFileBuffers(file);
}

// The faults in the file layer's calls for the lifetime of the object.
class FaultyCalls {
public:
    explicit FaultyCalls(const Faults& given) : saved_(platform::win32FileCalls()) {
        faults = given;
        stuck.clear();
        platform::win32FileCalls() = {fakeFlush, fakeReplace, fakeMove, fakeDelete};
    }
    ~FaultyCalls() { platform::win32FileCalls() = saved_; }
    FaultyCalls(const FaultyCalls&) = delete;
    FaultyCalls& operator=(const FaultyCalls&) = delete;

private:
    platform::Win32FileCalls saved_;
};

// Faults of the write: a scanner, an indexer or a sync client that holds the target or the
// just-written file for a moment is waited for, about a second at most; any failure leaves the
// old file as it was and nothing else behind.
TEST_F(FileIo, WriteFaultsAreWaitedOutOrLeaveTheOldFile) {
    struct Row {
        const char* what;
        bool existing;
        DWORD holdTarget; // ms; 0 no holder
        Faults faults;
        bool written;
    };
    const DWORD lock = ERROR_LOCK_VIOLATION;
    const DWORD denied = ERROR_ACCESS_DENIED;
    const Row rows[] = {
        {"target held for 300 ms", true, 300, {}, true},
        {"target held throughout", true, INFINITE, {}, false},
        {"replace refused 3 times", true, 0, {.busyCode = lock, .busyReplaces = 3}, true},
        {"replaced file held 3 times (1175)",
         true,
         0,
         {.busyCode = ERROR_UNABLE_TO_REMOVE_REPLACED, .busyReplaces = 3},
         true},
        {"new file's move refused 3 times", false, 0, {.busyCode = denied, .busyMoves = 3}, true},
        {"replace refused, delete twice", true, 0, {.busyReplaces = -1, .busyDeletes = 2}, false},
        {"replace fails half-way (1176)", true, 0, {.replaceHalfWay = 1176}, false},
        {"replace fails half-way (1177)", true, 0, {.replaceHalfWay = 1177}, false},
        // Network file systems that cannot flush say so.
        {"flush: invalid function", true, 0, {.flushError = ERROR_INVALID_FUNCTION}, true},
        {"flush: not supported", true, 0, {.flushError = ERROR_NOT_SUPPORTED}, true},
        {"flush: disk full", true, 0, {.flushError = ERROR_DISK_FULL}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const fs::path file = dir_ / "out.sig";
        fs::remove(file);
        if (row.existing) {
            put(file, Bytes{9, 9});
        }
        bool written = true;
        {
            const FaultyCalls calls(row.faults);
            std::optional<Holder> holder;
            if (row.holdTarget != 0) {
                holder.emplace(file, row.holdTarget);
                ASSERT_TRUE(holder->holds());
            }
            try {
                writeFile(utf8(file), Bytes{1, 2, 3});
            } catch (const WriteFileException&) {
                written = false;
            }
        }
        EXPECT_EQ(written, row.written);
        EXPECT_EQ(contentsOf(file), row.written ? (Bytes{1, 2, 3}) : (Bytes{9, 9}));
        EXPECT_EQ(entries(), 1u);
    }
}

// A replace that stops half-way and cannot be undone leaves the old contents under the backup
// name: the message names it beside the target, and names the new file too where it is kept.
TEST_F(FileIo, AnInterruptedReplaceNamesTheFilesThatHoldTheContents) {
    struct Row {
        const char* what;
        Faults faults;
        Bytes atTarget; // empty: no file
        bool newKept;
    };
    const Row rows[] = {
        {"another file took the name", {.replaceHalfWay = 1177, .takeName = true}, {7}, false},
        {"the old file is not moved back",
         {.replaceHalfWay = 1177, .restoreError = ERROR_WRITE_PROTECT},
         {},
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        const fs::path file = dir_ / fs::path(u8"подпись.sig");
        put(file, Bytes{9, 9});
        std::string message;
        {
            const FaultyCalls calls(row.faults);
            try {
                writeFile(utf8(file), Bytes{1, 2, 3});
            } catch (const ReplaceInterruptedException& e) {
                message = e.whatRu();
            }
        }
        ASSERT_FALSE(message.empty()) << "no ReplaceInterruptedException";
        EXPECT_NE(message.find(utf8(file)), std::string::npos) << message;
        EXPECT_EQ(fs::exists(file), !row.atTarget.empty());
        if (!row.atTarget.empty()) {
            EXPECT_EQ(contentsOf(file), row.atTarget);
        }
        std::size_t old = 0;
        std::size_t kept = 0;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            const Bytes contents = contentsOf(entry.path());
            if (entry.path() == file) {
                continue;
            }
            old += contents == Bytes{9, 9} ? 1 : 0;
            kept += contents == Bytes{1, 2, 3} ? 1 : 0;
            EXPECT_NE(message.find(utf8(entry.path())), std::string::npos)
                << utf8(entry.path()) << " is not named in: " << message;
        }
        EXPECT_EQ(old, 1u);
        EXPECT_EQ(kept, row.newKept ? 1u : 0u);
    }
}

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
