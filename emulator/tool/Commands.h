// The commands of qrd-token and what they share: finding the state file and a token in it.
#pragma once

#include "emulator/core/StateFile.h"
#include "emulator/tool/Options.h"

#include <ostream>
#include <string>
#include <vector>

namespace tool {

struct Command {
    const char* name;
    const char* summary;
    const char* details; // more help text, or ""
    std::vector<OptionSpec> options;
    void (*run)(const Options& options, std::ostream& out);
};

Command initCommand();
Command genkeyCommand();
Command listCommand();
Command exportPublicCommand();
Command journalCommand();
Command faultCommand();

// Every command takes these.
inline constexpr OptionSpec kStateOption{
    "state", "FILE", "the state file (default: $QRD_EMULATOR_STATE, else the per-user file)"};
inline constexpr OptionSpec kTokenOption{"token", "SLOT",
                                         "slot id of the token, from 1 (default 1)"};

// --state, else the path the module itself uses.
std::string statePathOf(const Options& options);

// The token in the slot that --token names; UsageError when the slot is missing or empty.
emulator::TokenState& tokenOf(emulator::State& state, const Options& options);

// Hexadecimal text as bytes; UsageError naming `what` when it is not.
emulator::Bytes hexArgument(const std::string& text, const std::string& what);

} // namespace tool
