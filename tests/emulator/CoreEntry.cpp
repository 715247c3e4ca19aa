// The suite against the core library linked into the test program.
#include "emulator/core/Module.h"
#include "tests/emulator/Harness.h"

ModuleEntry moduleEntry() {
    return {&qrdGetFunctionList, &qrdGetFunctionListExtended};
}
