// The mechanisms of the workstation's operations.
#pragma once

#include "token/Cryptoki.h"
#include "token/Key.h"

#include <array>
#include <cstddef>

namespace token {

// The digest and signature mechanisms with which a key's algorithm signs and verifies.
struct MechanismPair {
    CK_MECHANISM_TYPE digest;
    CK_MECHANISM_TYPE signature;
};

// GOST_2001 and any unknown value: CKM_GOSTR3411 with CKM_GOSTR3410. GOST_2012_256:
// CKM_GOSTR3411_12_256 with CKM_GOSTR3410. GOST_2012_512: CKM_GOSTR3411_12_512 with
// CKM_GOSTR3410_512.
MechanismPair mechanismsFor(KeyAlgorithm algorithm) noexcept;

// The most a digest or signature of the mechanism can take: 32 bytes for CKM_GOSTR3411 and
// CKM_GOSTR3411_12_256, 64 for CKM_GOSTR3411_12_512 and CKM_GOSTR3410, 128 for
// CKM_GOSTR3410_512; any other mechanism, the largest of its kind.
std::size_t digestSize(CK_MECHANISM_TYPE digestMechanism) noexcept;
std::size_t signatureSize(CK_MECHANISM_TYPE signMechanism) noexcept;

// The fixed initialisation vector of every encryption and decryption; it never appears in
// the output, so only the same key and vector decrypt it.
std::array<unsigned char, 8> encryptionIv() noexcept;

} // namespace token
