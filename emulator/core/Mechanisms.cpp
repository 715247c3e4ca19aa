#include "emulator/core/Mechanisms.h"

#include <algorithm>

namespace emulator {
namespace {

constexpr CK_FLAGS kDigest = CKF_HW | CKF_DIGEST;
constexpr CK_FLAGS kSignature = CKF_HW | CKF_SIGN | CKF_VERIFY;
constexpr CK_FLAGS kCipher = CKF_HW | CKF_ENCRYPT | CKF_DECRYPT;

const Mechanism kMechanisms[] = {
    {CKM_GOSTR3411, {0, 0, kDigest}},
    {CKM_GOSTR3411_12_256, {0, 0, kDigest}},
    {CKM_GOSTR3411_12_512, {0, 0, kDigest}},
    {CKM_GOSTR3410, {256, 256, kSignature}},
    {CKM_GOSTR3410_512, {512, 512, kSignature}},
    {CKM_GOST28147, {256, 256, kCipher}},
};

} // namespace

std::span<const Mechanism> mechanisms() {
    return kMechanisms;
}

const Mechanism* findMechanism(CK_MECHANISM_TYPE type) {
    const auto found = std::ranges::find(kMechanisms, type, &Mechanism::type);
    return found == std::end(kMechanisms) ? nullptr : &*found;
}

std::optional<gost::Hash> hashOf(CK_MECHANISM_TYPE type) {
    switch (type) {
    case CKM_GOSTR3411:
        return gost::Hash::R3411_94;
    case CKM_GOSTR3411_12_256:
        return gost::Hash::Streebog256;
    case CKM_GOSTR3411_12_512:
        return gost::Hash::Streebog512;
    default:
        return std::nullopt;
    }
}

std::size_t signedDigestSize(CK_MECHANISM_TYPE type) {
    switch (type) {
    case CKM_GOSTR3410:
        return 32;
    case CKM_GOSTR3410_512:
        return 64;
    default:
        return 0;
    }
}

} // namespace emulator
