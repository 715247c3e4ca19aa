// The program's arguments as UTF-8, whatever the platform's own encoding of them.
#pragma once

#include <string>
#include <vector>

namespace tool {

// Without the program name.
std::vector<std::string> commandLineArguments(int argc, char** argv);

} // namespace tool
