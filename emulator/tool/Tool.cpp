#include "emulator/tool/Tool.h"

#include "emulator/tool/Commands.h"

#include <algorithm>
#include <exception>

namespace tool {

namespace {

std::vector<Command> allCommands() {
    return {initCommand(),         genkeyCommand(),  listCommand(),
            exportPublicCommand(), journalCommand(), faultCommand()};
}

void printOverview(std::ostream& out) {
    out << "Usage: qrd-token [--state FILE] COMMAND [OPTIONS]\n"
           "Creates and inspects the state files of the software token.\n\nCommands:\n";
    for (const Command& command : allCommands()) {
        out << "  " << command.name << std::string(16 - std::string(command.name).size(), ' ')
            << command.summary << "\n";
    }
    out << "\n'qrd-token COMMAND --help' describes a command's options.\n";
}

void printHelp(const Command& command, std::ostream& out) {
    out << "Usage: qrd-token " << command.name << " [OPTIONS]\n" << command.summary << "\n";
    if (*command.details != '\0') {
        out << "\n" << command.details << "\n";
    }
    out << "\nOptions:\n";
    for (const OptionSpec& option : command.options) {
        std::string left = std::string("--") + option.name;
        if (option.valueName != nullptr) {
            left += std::string(" ") + option.valueName;
        }
        out << "  " << left << std::string(left.size() < 22 ? 22 - left.size() : 1, ' ')
            << option.help << "\n";
    }
    out << "  --help                show this text\n";
}

// "--state FILE" may also come before the command: it is moved behind it.
std::vector<std::string> stateOptionLast(const std::vector<std::string>& arguments) {
    if (arguments.size() < 3 || arguments[0] != "--state") {
        return arguments;
    }
    std::vector<std::string> moved(arguments.begin() + 2, arguments.end());
    moved.insert(moved.begin() + 1, arguments.begin(), arguments.begin() + 2);
    return moved;
}

} // namespace

int runTool(const std::vector<std::string>& commandLine, std::ostream& out, std::ostream& err) {
    const std::vector<std::string> arguments = stateOptionLast(commandLine);
    const std::string commandName = arguments.empty() ? "" : arguments.front();
    try {
        if (arguments.empty()) {
            throw UsageError("no command given");
        }
        if (commandName == "--help" || commandName == "-h" || commandName == "help") {
            printOverview(out);
            return 0;
        }
        const std::vector<Command> commands = allCommands();
        const auto command = std::ranges::find_if(
            commands, [&](const Command& each) { return commandName == each.name; });
        if (command == commands.end()) {
            throw UsageError("unknown command \"" + commandName + "\"");
        }
        const std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
        if (std::ranges::find(rest, "--help") != rest.end() ||
            std::ranges::find(rest, "-h") != rest.end()) {
            printHelp(*command, out);
            return 0;
        }
        const Options options(rest, command->options);
        command->run(options, out);
        return 0;
    } catch (const UsageError& error) {
        err << "qrd-token: " << error.what() << "\n";
        const bool known = std::ranges::any_of(
            allCommands(), [&](const Command& each) { return commandName == each.name; });
        err << (known ? "Try 'qrd-token " + commandName + " --help'."
                      : std::string("Try 'qrd-token --help'."))
            << "\n";
        return 2;
    } catch (const std::exception& error) {
        err << "qrd-token: " << error.what() << "\n";
        return 1;
    }
}

} // namespace tool
