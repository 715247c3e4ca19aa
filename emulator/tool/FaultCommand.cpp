#include "emulator/core/Faults.h"
#include "emulator/tool/Commands.h"

namespace tool {

namespace {

nlohmann::json numberOrName(const std::string& text) {
    if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos) {
        return parseNumber(text, "--rv", 0, 0xFFFFFFFFUL);
    }
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        try {
            return std::stoul(text.substr(2), nullptr, 16);
        } catch (const std::exception&) {
            throw UsageError("--rv is not a number: \"" + text + "\"");
        }
    }
    return text;
}

nlohmann::json faultOf(const Options& options) {
    nlohmann::json fault = {{"function", options.required("function")}};
    if (options.has("call")) {
        fault["call"] = options.number("call", 0, 0, 0xFFFFFFFFUL);
    }
    if (const auto rv = options.value("rv")) {
        fault["rv"] = numberOrName(*rv);
    }
    if (const auto kind = options.value("kind")) {
        if (*kind != "noPointer" && *kind != "recordSize" && *kind != "zeroLength" &&
            *kind != "overstate" && *kind != "unavailableLength" && *kind != "cutLabel" &&
            *kind != "delay") {
            throw UsageError("--kind must be noPointer, recordSize, zeroLength, overstate, "
                             "unavailableLength, cutLabel or delay, not \"" +
                             *kind + "\"");
        }
        fault["kind"] = *kind;
    }
    if (options.has("rv") == options.has("kind")) {
        throw UsageError("a fault needs either --rv or --kind");
    }
    if (options.has("value")) {
        fault["value"] = options.number("value", 0, 0, 0xFFFFFFFFUL);
    }
    if (options.has("by")) {
        fault["by"] = options.number("by", 0, 0, 0xFFFFFFFFUL);
    }
    // The module's own parser decides what a valid fault is.
    try {
        emulator::parseFaults(nlohmann::json::array({fault}));
    } catch (const std::invalid_argument& error) {
        throw UsageError(std::string("not a valid fault: ") + error.what());
    }
    return fault;
}

void runFault(const Options& options, std::ostream& out) {
    const bool clear = options.has("clear");
    const bool list = options.has("list");
    const bool add = options.has("function");
    if (clear + list + add != 1) {
        throw UsageError("give exactly one of --function (add a fault), --list or --clear");
    }
    const std::string path = statePathOf(options);
    if (list) {
        for (const auto& fault : emulator::loadState(path).faults) {
            out << fault.dump() << "\n";
        }
        return;
    }
    const nlohmann::json added = clear ? nlohmann::json() : faultOf(options);
    std::size_t count = 0;
    emulator::updateState(path, [&](emulator::State& state) {
        if (clear) {
            state.faults = nlohmann::json::array();
        } else {
            state.faults.push_back(added);
        }
        count = state.faults.size();
    });
    out << "The state file has " << count << " fault(s)\n";
}

} // namespace

Command faultCommand() {
    return {"fault",
            "Adds, lists or clears the test faults of a state file.",
            "Examples:\n"
            "  qrd-token fault --function C_Login --call 2 --rv CKR_DEVICE_ERROR\n"
            "  qrd-token fault --function C_Sign --kind overstate --by 4\n"
            "  qrd-token fault --function C_EX_GetTokenInfoExtended --kind recordSize "
            "--value 100\n"
            "  qrd-token fault --function C_GetAttributeValue --kind cutLabel --by 1\n"
            "  qrd-token fault --function C_Sign --kind delay --value 3000\n"
            "Kinds: noPointer, recordSize, zeroLength, overstate, unavailableLength, cutLabel, "
            "delay.",
            {kStateOption,
             {"function", "NAME", "add a fault of this PKCS#11 function (C_EX_... too)"},
             {"call", "N", "only the n-th call, counted from C_GetFunctionList (0: every)"},
             {"rv", "CODE", "return this code: a number, 0x..., or a CKR_ name"},
             {"kind", "KIND", "an odd answer instead of a code"},
             {"value", "N", "recordSize: the size written; delay: milliseconds each call waits"},
             {"by", "N", "overstate: what the size query adds; cutLabel: the bytes cut off"},
             {"list", nullptr, "show the faults, one JSON object a line"},
             {"clear", nullptr, "remove every fault"}},
            runFault};
}

} // namespace tool
