// Names and Russian messages of PKCS#11 return codes, shared by the operation log and the
// exceptions.
#pragma once

#include <cstdint>

namespace token {

// A return code as the module reports it; 32 bits wide on every platform of the workstation.
using ReturnCode = std::uint32_t;

// The standard's name of the code ("CKR_PIN_INCORRECT"), or "Unknown error" for a code the
// standard does not name (CKR_OK and every vendor-defined code among them).
const char* returnCodeName(ReturnCode code) noexcept;

// The Russian message the user reads for the code; "Внутренняя ошибка" for codes without a
// message of their own.
const char* returnCodeMessageRu(ReturnCode code) noexcept;

} // namespace token
