#include "emulator/tool/Options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace tool {

Options::Options(const std::vector<std::string>& arguments, const std::vector<OptionSpec>& specs) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.size() < 3 || argument.compare(0, 2, "--") != 0) {
            throw UsageError("unexpected argument \"" + argument + "\"");
        }
        const std::string name = argument.substr(2);
        const auto spec =
            std::ranges::find_if(specs, [&](const OptionSpec& each) { return name == each.name; });
        if (spec == specs.end()) {
            throw UsageError("unknown option \"" + argument + "\"");
        }
        if (values_.contains(name)) {
            throw UsageError("option \"" + argument + "\" given twice");
        }
        if (spec->valueName == nullptr) {
            values_[name] = {};
            continue;
        }
        if (i + 1 == arguments.size()) {
            throw UsageError("option \"" + argument + "\" needs a value (" + spec->valueName + ")");
        }
        values_[name] = arguments[++i];
    }
}

std::optional<std::string> Options::value(const std::string& name) const {
    const auto found = values_.find(name);
    if (found == values_.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::string Options::required(const std::string& name) const {
    const auto found = values_.find(name);
    if (found == values_.end()) {
        throw UsageError("option \"--" + name + "\" is required");
    }
    return found->second;
}

unsigned long Options::number(const std::string& name, unsigned long fallback,
                              unsigned long minimum, unsigned long maximum) const {
    const auto text = value(name);
    return text ? parseNumber(*text, "--" + name, minimum, maximum) : fallback;
}

unsigned long parseNumber(const std::string& text, const std::string& what, unsigned long minimum,
                          unsigned long maximum) {
    const bool digits = !text.empty() && text.size() <= 10 &&
                        std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; });
    const unsigned long number = digits ? std::strtoul(text.c_str(), nullptr, 10) : 0;
    if (!digits || number < minimum || number > maximum) {
        throw UsageError(what + " must be a number from " + std::to_string(minimum) + " to " +
                         std::to_string(maximum) + ", not \"" + text + "\"");
    }
    return number;
}

} // namespace tool
