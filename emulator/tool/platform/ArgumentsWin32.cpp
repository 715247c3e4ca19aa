#include "emulator/tool/platform/Arguments.h"
#include "support/TextConversion.h"

#include <stdexcept>
#include <windows.h>
// windows.h first.
#include <shellapi.h>

namespace tool {

// argv holds the ANSI code page's version of the arguments, which loses Cyrillic labels on
// most systems: the UTF-16 command line is read instead.
std::vector<std::string> commandLineArguments(int, char**) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        throw std::runtime_error("cannot read the command line");
    }
    std::vector<std::string> arguments;
    try {
        for (int i = 1; i < count; ++i) {
            const std::wstring_view text(wide[i]);
            arguments.push_back(wideToUtf8(
                std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size())));
        }
    } catch (...) {
        LocalFree(wide);
        throw;
    }
    LocalFree(wide);
    return arguments;
}

} // namespace tool
