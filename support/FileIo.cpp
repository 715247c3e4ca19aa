#include "support/FileIo.h"

#include "support/TextConversion.h"
#include "support/platform/NativeFile.h"
#include "token/Exception.h"

#include <exception>

Bytes readFile(std::string_view path, std::uint64_t longest) {
    Bytes contents;
    try {
        contents = platform::readNativeFile(utf8ToWide(path), longest);
    } catch (const DataTooLargeException&) {
        throw;
    } catch (const std::exception&) {
        // A bad path, a missing or unreadable file and memory exhaustion all mean the same
        // thing to the user: the file could not be read.
        throw ReadFileException(false);
    }
    if (contents.empty()) {
        throw ReadFileException(true);
    }
    return contents;
}

void writeFile(std::string_view path, const Bytes& contents) {
    try {
        platform::replaceNativeFile(utf8ToWide(path), contents.data(), contents.size());
    } catch (const platform::ReplaceInterrupted& e) {
        throw ReplaceInterruptedException(std::string(path), wideToUtf8(e.oldContents()),
                                          wideToUtf8(e.newContents()));
    } catch (const std::exception&) {
        throw WriteFileException();
    }
}
