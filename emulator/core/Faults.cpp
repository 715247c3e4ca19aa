#include "emulator/core/Faults.h"

#include "token/ReturnCodes.h"

#include <stdexcept>

namespace emulator {
namespace {

// A code given by its CKR name; the names are those of the return-code table.
CK_RV codeByName(const std::string& name) {
    if (name == "CKR_OK") {
        return CKR_OK;
    }
    for (token::ReturnCode code = 1; code < 0x400; ++code) {
        if (name == token::returnCodeName(code)) {
            return code;
        }
    }
    throw std::invalid_argument("unknown return code name " + name);
}

CK_RV codeOf(const nlohmann::json& value) {
    if (value.is_string()) {
        return codeByName(value.get<std::string>());
    }
    if (value.is_number_unsigned() || (value.is_number_integer() && value.get<long long>() >= 0)) {
        return static_cast<CK_RV>(value.get<unsigned long long>());
    }
    throw std::invalid_argument("a fault's \"rv\" must be a code or a CKR name");
}

} // namespace

std::vector<Fault> parseFaults(const nlohmann::json& array) {
    if (!array.is_array()) {
        throw std::invalid_argument("the faults must be a JSON array");
    }
    std::vector<Fault> faults;
    for (const auto& entry : array) {
        if (!entry.is_object() || !entry.contains("function") || !entry["function"].is_string()) {
            throw std::invalid_argument("a fault must be an object naming its \"function\"");
        }
        Fault fault;
        fault.function = entry["function"].get<std::string>();
        if (entry.contains("call")) {
            if (!entry["call"].is_number_integer() || entry["call"].get<long long>() < 0) {
                throw std::invalid_argument("a fault's \"call\" must be a count");
            }
            fault.call = entry["call"].get<unsigned long>();
        }
        if (entry.contains("rv")) {
            fault.rv = codeOf(entry["rv"]);
        }
        if (entry.contains("kind")) {
            if (!entry["kind"].is_string()) {
                throw std::invalid_argument("a fault's \"kind\" must be a string");
            }
            fault.kind = entry["kind"].get<std::string>();
        }
        for (const auto& [name, field] : {std::pair{"value", &fault.value}, {"by", &fault.by}}) {
            if (entry.contains(name)) {
                if (!entry[name].is_number_integer()) {
                    throw std::invalid_argument(std::string("a fault's \"") + name +
                                                "\" must be an integer");
                }
                *field = entry[name].get<long long>();
            }
        }
        if (!fault.rv && fault.kind.empty()) {
            throw std::invalid_argument("a fault needs an \"rv\" or a \"kind\"");
        }
        if (fault.kind == "delay" && fault.value < 0) {
            throw std::invalid_argument("a delay's \"value\" must be milliseconds, 0 or more");
        }
        faults.push_back(std::move(fault));
    }
    return faults;
}

bool Faults::applies(const Fault& fault, std::string_view function) const {
    if (fault.function != function) {
        return false;
    }
    if (fault.call == 0) {
        return true;
    }
    const auto found = calls_.find(function);
    return found != calls_.end() && found->second == fault.call;
}

std::optional<CK_RV> Faults::countCall(std::string_view function) {
    auto found = calls_.find(function);
    if (found == calls_.end()) {
        found = calls_.emplace(std::string(function), 0).first;
    }
    ++found->second;
    for (const Fault& fault : faults_) {
        if (fault.rv && applies(fault, function)) {
            return fault.rv;
        }
    }
    return std::nullopt;
}

const Fault* Faults::active(std::string_view function, std::string_view kind) const {
    for (const Fault& fault : faults_) {
        if (!fault.rv && fault.kind == kind && applies(fault, function)) {
            return &fault;
        }
    }
    return nullptr;
}

} // namespace emulator
