// Judging and logging the outcome of one PKCS#11 call.
#pragma once

#include "token/Cryptoki.h"

#include <string_view>

namespace token {

// Writes "name -> CKR_OK" to the operation log for CKR_OK. For any other code it writes
// "name -> " and the code's name, then throws Pkcs11Exception. A code wider than 32 bits
// (possible where CK_RV is 64 bits wide) is a failure too and is reported as 0xFFFFFFFF.
void checkResult(std::string_view name, CK_RV code);

} // namespace token
