// The platform's side of the software token's configuration: environment variables and the
// per-user data folder.
#pragma once

#include <optional>
#include <string>

namespace emulator::platform {

// The variable's value as UTF-8, or nothing when it is not set. Windows reads the process's
// environment block (GetEnvironmentVariableW), so changes made by the host program are seen
// even though the module carries its own C runtime.
std::optional<std::string> environmentVariable(const char* name);

// The folder below which per-user data lives (UTF-8): $XDG_DATA_HOME or ~/.local/share on
// Linux, %LOCALAPPDATA% on Windows. Empty when none can be found.
std::string userDataFolder();

} // namespace emulator::platform
