// A PKCS#11 call of the software token ends with this code. Thrown inside the module and
// turned into the call's return value at its C boundary.
#pragma once

#include "token/Cryptoki.h"

#include <exception>

namespace emulator {

class CkError : public std::exception {
public:
    explicit CkError(CK_RV code) noexcept : code_(code) {}
    const char* what() const noexcept override { return "PKCS#11 error"; }
    CK_RV code() const noexcept { return code_; }

private:
    CK_RV code_;
};

[[noreturn]] inline void fail(CK_RV code) {
    throw CkError(code);
}

inline void require(bool condition, CK_RV code) {
    if (!condition) {
        fail(code);
    }
}

} // namespace emulator
