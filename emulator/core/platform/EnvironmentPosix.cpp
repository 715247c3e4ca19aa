#include "emulator/core/platform/Environment.h"

#include <cstdlib>

namespace emulator::platform {

std::optional<std::string> environmentVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

std::string userDataFolder() {
    if (auto xdg = environmentVariable("XDG_DATA_HOME"); xdg && !xdg->empty()) {
        return *xdg;
    }
    if (auto home = environmentVariable("HOME"); home && !home->empty()) {
        return *home + "/.local/share";
    }
    return {};
}

} // namespace emulator::platform
