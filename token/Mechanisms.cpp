#include "token/Mechanisms.h"

#include <cstdint>

namespace token {

MechanismPair mechanismsFor(KeyAlgorithm algorithm) noexcept {
    switch (algorithm) {
    case GOST_2012_256:
        return {CKM_GOSTR3411_12_256, CKM_GOSTR3410};
    case GOST_2012_512:
        return {CKM_GOSTR3411_12_512, CKM_GOSTR3410_512};
    case GOST_2001:
        break;
    }
    return {CKM_GOSTR3411, CKM_GOSTR3410};
}

std::size_t digestSize(CK_MECHANISM_TYPE digestMechanism) noexcept {
    switch (digestMechanism) {
    case CKM_GOSTR3411:
    case CKM_GOSTR3411_12_256:
        return 32;
    default:
        return 64;
    }
}

std::size_t signatureSize(CK_MECHANISM_TYPE signMechanism) noexcept {
    return signMechanism == CKM_GOSTR3410 ? 64 : 128;
}

std::array<unsigned char, 8> encryptionIv() noexcept {
    // Assembled from two halves at run time rather than stored as one 8-byte literal.
    const std::uint32_t halves[2] = {0x5A3C96E1u, 0x0F87D24Bu};
    std::array<unsigned char, 8> iv{};
    for (int half = 0; half < 2; ++half) {
        for (int byte = 0; byte < 4; ++byte) {
            iv[half * 4 + byte] = static_cast<unsigned char>(halves[half] >> (8 * byte));
        }
    }
    return iv;
}

} // namespace token
