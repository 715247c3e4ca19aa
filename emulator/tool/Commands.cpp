#include "emulator/tool/Commands.h"

namespace tool {

std::string statePathOf(const Options& options) {
    if (const auto path = options.value("state")) {
        if (path->empty()) {
            throw UsageError("--state needs a file name");
        }
        return *path;
    }
    return emulator::stateFilePath().path;
}

emulator::TokenState& tokenOf(emulator::State& state, const Options& options) {
    const unsigned long slot = options.number("token", 1, 1, 1000);
    if (slot > state.slots.size()) {
        throw UsageError("there is no slot " + std::to_string(slot) + " (the state has " +
                         std::to_string(state.slots.size()) + ")");
    }
    auto& token = state.slots[slot - 1];
    if (!token) {
        throw UsageError("slot " + std::to_string(slot) + " holds no token");
    }
    return *token;
}

emulator::Bytes hexArgument(const std::string& text, const std::string& what) {
    try {
        return emulator::fromHex(text);
    } catch (const emulator::StateFileError&) {
        throw UsageError(what + " must be hexadecimal digits, not \"" + text + "\"");
    }
}

} // namespace tool
