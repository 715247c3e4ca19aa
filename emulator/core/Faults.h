// Test faults: a return code for the n-th or every call of a function, and odd answers that a
// caller of the module must survive. They come from the state file's "faults" and from the
// JSON array in QRD_EMULATOR_FAULTS.
#pragma once

#include "token/Cryptoki.h"

#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace emulator {

struct Fault {
    std::string function;    // PKCS#11 name, C_EX_... for the extensions
    unsigned long call = 0;  // 0: every call; n: only the n-th
    std::optional<CK_RV> rv; // return this code without doing anything
    std::string kind;        // or an odd answer: "noPointer", "recordSize", "zeroLength", ...
    long long value = 0;     // "recordSize": the size written; "delay": milliseconds per call
    long long by = 0;        // "overstate": how much the size query adds; "cutLabel": the
                             // bytes cut off the label's end
};

// Parses a JSON array of faults. Throws std::invalid_argument with the reason.
std::vector<Fault> parseFaults(const nlohmann::json& array);

class Faults {
public:
    void set(std::vector<Fault> faults) { faults_ = std::move(faults); }
    void resetCounters() { calls_.clear(); }

    // Counts one call of the function; the code a fault imposes on this call, if any.
    std::optional<CK_RV> countCall(std::string_view function);

    // The odd-answer fault of that kind that applies to the function's current call.
    const Fault* active(std::string_view function, std::string_view kind) const;

private:
    bool applies(const Fault& fault, std::string_view function) const;

    std::vector<Fault> faults_;
    std::map<std::string, unsigned long, std::less<>> calls_;
};

} // namespace emulator
