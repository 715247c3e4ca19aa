// qrd-token: creates and inspects the software token's state files.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tool {

// Runs the command line (without the program name). Returns the exit code: 0 done, 1 the work
// failed (an unreadable state file, a file that cannot be written), 2 bad arguments.
int runTool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

} // namespace tool
