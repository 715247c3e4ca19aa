// The acceptance run of a token and its module: the checks, in order, each reported as it
// ends. Every call goes through the workstation's own token layer and logged wrappers.
#pragma once

#include "check/CallLog.h"
#include "check/Report.h"

#include <functional>
#include <string>

namespace check {

struct Options {
    // Also sign with keys that write the token's journal (each signature adds a record).
    bool journalKeys = false;
};

// Asks for the user PIN and reads it (UTF-8) into the string given, which stays empty when
// none was given; the caller wipes it.
using PinReader = std::function<void(std::string& pin)>;

// Module, start-up, login, keys, hashing, signing and verification, encryption, the token's
// journal and shut-down. A check whose preconditions failed is skipped; the others still run.
// The PIN is asked for once, after a successful start-up, and never tried a second time.
// The call log must be attached to the operation log by the caller.
void runChecks(const Options& options, const PinReader& readPin, Report& report,
               const CallLog& log);

} // namespace check
