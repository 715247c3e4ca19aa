// Running one check: its body returns what it found; a failing call (any exception of the
// standard's tree) is a failed check with the text the workstation would show for it.
#pragma once

#include "check/CallLog.h"
#include "check/Report.h"

#include <exception>
#include <functional>
#include <string>

namespace check {

// The text of the exception being handled, as the workstation's error box shows it, with the
// call it came from: "Ошибка токена (C_Sign -> CKR_DEVICE_ERROR)". Only inside a handler.
std::string currentFailure(const CallLog& log);

// Whether the user has asked the run to stop (Ctrl+C).
using StopRequest = std::function<bool()>;

// The reason of the checks skipped once the user asked the run to stop.
inline constexpr const char* kStopped = "прервано (Ctrl+C)";

class Checker {
public:
    Checker(Report& report, const CallLog& log, StopRequest stopRequested = {})
        : report_(report), log_(log), stopRequested_(std::move(stopRequested)) {}

    // Runs the check, or skips it once a stop was asked for.
    template <typename Body>
    Outcome run(const std::string& name, Body&& body) {
        if (stopped()) {
            skip(name, kStopped);
            return Outcome::Skipped;
        }
        return runEvenIfStopped(name, std::forward<Body>(body));
    }

    // For the shut-down, which an open session needs however the run ends.
    template <typename Body>
    Outcome runEvenIfStopped(const std::string& name, Body&& body) {
        Result result = skipped("");
        try {
            result = body();
        } catch (const std::exception&) {
            result = failed(currentFailure(log_));
        }
        report_.add(name, result);
        return result.outcome;
    }

    void skip(const std::string& name, const std::string& reason) {
        report_.add(name, skipped(reason));
    }

    bool stopped() const { return stopRequested_ && stopRequested_(); }

    const CallLog& log() const noexcept { return log_; }

private:
    Report& report_;
    const CallLog& log_;
    StopRequest stopRequested_;
};

} // namespace check
