// Why the module did not load: the loader's error with the system's own text for it, and
// every file of the module's name that the loader's search could find, each with the
// processor its header is built for. The platform's side gathers them; here they are put into
// the words of the failed check.
#pragma once

#include "check/Report.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace check {

// The machine field of a PE image's file header.
inline constexpr std::uint16_t kMachineX86 = 0x014C;
inline constexpr std::uint16_t kMachineX64 = 0x8664;
inline constexpr std::uint16_t kMachineArm64 = 0xAA64;

// The machine field named by the first bytes of a file; none when they do not start a PE
// image (no "MZ" header, or its "PE" header lies beyond them).
std::optional<std::uint16_t> peMachine(const unsigned char* data, std::size_t size) noexcept;

// A file of the module's name in one of the folders the loader searches.
struct ModuleFile {
    std::string path;
    // False when the file could not be read.
    bool read = true;
    std::optional<std::uint16_t> machine = {};
};

struct LoadFailure {
    // The loader's error number (Windows' system error code).
    unsigned long code = 0;
    // The system's text for it, in the system's language; may be empty.
    std::string systemText;
    // In the order the loader searches; the first is the one it tried to load.
    std::vector<ModuleFile> files = {};
};

// Gathers the explanation of a failed load with the loader's error number.
using LoadFailureProbe = std::function<LoadFailure(unsigned long code)>;

// The failed module check: the error number and its text, then one line for each file found,
// and what the error means for the file that was tried.
Result moduleNotLoaded(const LoadFailure& failure);

} // namespace check
