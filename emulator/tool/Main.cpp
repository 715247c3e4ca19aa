#include "emulator/tool/Tool.h"
#include "emulator/tool/platform/Arguments.h"

#include <iostream>

int main(int argc, char** argv) {
    try {
        return tool::runTool(tool::commandLineArguments(argc, argv), std::cout, std::cerr);
    } catch (const std::exception& error) {
        std::cerr << "qrd-token: " << error.what() << "\n";
        return 1;
    }
}
