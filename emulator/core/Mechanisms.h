// The mechanisms the token offers.
#pragma once

#include "emulator/crypto/Gost.h"
#include "token/Cryptoki.h"

#include <optional>
#include <span>

namespace emulator {

struct Mechanism {
    CK_MECHANISM_TYPE type;
    CK_MECHANISM_INFO info;
};

std::span<const Mechanism> mechanisms();
const Mechanism* findMechanism(CK_MECHANISM_TYPE type);

// The hash of a digest mechanism; nothing for any other mechanism.
std::optional<gost::Hash> hashOf(CK_MECHANISM_TYPE type);

// The digest size a signature mechanism signs: 32 for CKM_GOSTR3410, 64 for
// CKM_GOSTR3410_512, 0 for any other mechanism.
std::size_t signedDigestSize(CK_MECHANISM_TYPE type);

} // namespace emulator
