// Small helpers shared by the benchmark programs that drive the software token directly.
#pragma once

#include "token/Cryptoki.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace bench {

// Names the software token's state file (or another variable) for this process.
inline void setVariable(const char* name, const std::string& value) {
#if defined(_WIN32)
    SetEnvironmentVariableA(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

// A benchmark stops at the first call the token refuses.
inline void check(CK_RV rv, const char* call) {
    if (rv != CKR_OK) {
        throw std::runtime_error(std::string(call) + " answered " + std::to_string(rv));
    }
}

} // namespace bench
