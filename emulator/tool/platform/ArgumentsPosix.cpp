#include "emulator/tool/platform/Arguments.h"

namespace tool {

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return {argv + (argc > 0 ? 1 : 0), argv + argc};
}

} // namespace tool
