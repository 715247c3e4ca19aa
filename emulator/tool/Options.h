// The command line of qrd-token: a command name followed by "--name value" options and
// "--name" switches, each allowed only by the commands that declare it.
#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tool {

// Bad arguments: the message goes to standard error and the exit code is 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct OptionSpec {
    const char* name;      // without the leading "--"
    const char* valueName; // nullptr for a switch
    const char* help;
};

class Options {
public:
    // Throws UsageError for an unknown option, a missing value or a stray argument.
    Options(const std::vector<std::string>& arguments, const std::vector<OptionSpec>& specs);

    bool has(const std::string& name) const { return values_.contains(name); }
    std::optional<std::string> value(const std::string& name) const;
    std::string required(const std::string& name) const;
    // A decimal number in [minimum, maximum]; `fallback` when the option is absent.
    unsigned long number(const std::string& name, unsigned long fallback, unsigned long minimum,
                         unsigned long maximum) const;

private:
    std::map<std::string, std::string> values_;
};

// Parses a decimal number in [minimum, maximum]; `what` names it in the error.
unsigned long parseNumber(const std::string& text, const std::string& what, unsigned long minimum,
                          unsigned long maximum);

} // namespace tool
