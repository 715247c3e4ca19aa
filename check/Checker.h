// Running one check: its body returns what it found; a failing call (any exception of the
// standard's tree) is a failed check with the text the workstation would show for it.
#pragma once

#include "check/CallLog.h"
#include "check/Report.h"

#include <exception>
#include <string>

namespace check {

// The text of the exception being handled, as the workstation's error box shows it, with the
// call it came from: "Ошибка токена (C_Sign -> CKR_DEVICE_ERROR)". Only inside a handler.
std::string currentFailure(const CallLog& log);

class Checker {
public:
    Checker(Report& report, const CallLog& log) : report_(report), log_(log) {}

    template <typename Body>
    Outcome run(const std::string& name, Body&& body) {
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

    const CallLog& log() const noexcept { return log_; }

private:
    Report& report_;
    const CallLog& log_;
};

} // namespace check
