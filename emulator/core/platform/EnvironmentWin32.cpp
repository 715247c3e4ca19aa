#include "emulator/core/platform/Environment.h"
#include "support/TextConversion.h"

#include <string>
#include <windows.h>

namespace emulator::platform {
namespace {

std::u16string toWide(const char* name) {
    std::u16string wide;
    for (; *name != '\0'; ++name) {
        wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(*name)));
    }
    return wide;
}

} // namespace

std::optional<std::string> environmentVariable(const char* name) {
    const std::u16string wideName = toWide(name);
    const auto* key = reinterpret_cast<const wchar_t*>(wideName.c_str());
    ::SetLastError(ERROR_SUCCESS);
    DWORD size = ::GetEnvironmentVariableW(key, nullptr, 0);
    if (size == 0) {
        if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
            return std::nullopt;
        }
        return std::string();
    }
    std::u16string value(size, u'\0');
    // The value may change between the two calls; the second reports the length it wrote.
    for (;;) {
        const DWORD written =
            ::GetEnvironmentVariableW(key, reinterpret_cast<wchar_t*>(value.data()), size);
        if (written == 0) {
            return ::GetLastError() == ERROR_ENVVAR_NOT_FOUND ? std::nullopt
                                                              : std::optional<std::string>("");
        }
        if (written < size) {
            value.resize(written);
            return wideToUtf8(value);
        }
        size = written;
        value.assign(size, u'\0');
    }
}

std::string userDataFolder() {
    if (auto local = environmentVariable("LOCALAPPDATA"); local && !local->empty()) {
        return *local;
    }
    return {};
}

} // namespace emulator::platform
