// The acceptance run of a token and its module: the checks, in order, each reported as it
// ends. Every call goes through the workstation's own token layer and logged wrappers.
#pragma once

#include "check/CallLog.h"
#include "check/Checker.h"
#include "check/LoadFailure.h"
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

// What a run needs of the program around it.
struct Host {
    PinReader readPin;
    // Explains a module that the loader could not load.
    LoadFailureProbe probeLoadFailure;
    // Asked between the checks, on the run's own thread: once it answers true, the checks not
    // yet begun are skipped and an open session is still shut down. Empty: never.
    StopRequest stopRequested;
};

// Module, start-up, login, keys, hashing, signing and verification, encryption, the token's
// journal and shut-down. A check whose preconditions failed is skipped; the others still run.
// The PIN is asked for once, after a successful start-up, and never tried a second time.
// The call log must be attached to the operation log by the caller.
void runChecks(const Options& options, const Host& host, Report& report, const CallLog& log);

} // namespace check
