#include "emulator/crypto/Gost.h"

#include <algorithm>

namespace gost {

namespace {

// OID arcs 1.2.643 followed by the rest, as DER.
constexpr unsigned char k2001Test[] = {0x06, 0x07, 0x2A, 0x85, 0x03, 0x02, 0x02, 0x23, 0x00};
constexpr unsigned char k2001A[] = {0x06, 0x07, 0x2A, 0x85, 0x03, 0x02, 0x02, 0x23, 0x01};
constexpr unsigned char k2001B[] = {0x06, 0x07, 0x2A, 0x85, 0x03, 0x02, 0x02, 0x23, 0x02};
constexpr unsigned char k2001C[] = {0x06, 0x07, 0x2A, 0x85, 0x03, 0x02, 0x02, 0x23, 0x03};
constexpr unsigned char k2001XchA[] = {0x06, 0x07, 0x2A, 0x85, 0x03, 0x02, 0x02, 0x24, 0x00};
constexpr unsigned char k2001XchB[] = {0x06, 0x07, 0x2A, 0x85, 0x03, 0x02, 0x02, 0x24, 0x01};
constexpr unsigned char k256A[] = {0x06, 0x09, 0x2A, 0x85, 0x03, 0x07,
                                   0x01, 0x02, 0x01, 0x01, 0x01};
constexpr unsigned char k256B[] = {0x06, 0x09, 0x2A, 0x85, 0x03, 0x07,
                                   0x01, 0x02, 0x01, 0x01, 0x02};
constexpr unsigned char k256C[] = {0x06, 0x09, 0x2A, 0x85, 0x03, 0x07,
                                   0x01, 0x02, 0x01, 0x01, 0x03};
constexpr unsigned char k256D[] = {0x06, 0x09, 0x2A, 0x85, 0x03, 0x07,
                                   0x01, 0x02, 0x01, 0x01, 0x04};
constexpr unsigned char k512Test[] = {0x06, 0x09, 0x2A, 0x85, 0x03, 0x07,
                                      0x01, 0x02, 0x01, 0x02, 0x00};
constexpr unsigned char k512A[] = {0x06, 0x09, 0x2A, 0x85, 0x03, 0x07,
                                   0x01, 0x02, 0x01, 0x02, 0x01};
constexpr unsigned char k512B[] = {0x06, 0x09, 0x2A, 0x85, 0x03, 0x07,
                                   0x01, 0x02, 0x01, 0x02, 0x02};
constexpr unsigned char k512C[] = {0x06, 0x09, 0x2A, 0x85, 0x03, 0x07,
                                   0x01, 0x02, 0x01, 0x02, 0x03};

// The names are those that libgcrypt 1.10 resolves; the tc26 256-bit sets B to D are the
// CryptoPro curves under new OIDs, and the key-exchange sets reuse CryptoPro A and C.
const Curve kCurves[] = {
    {"GOST2001-CryptoPro-A", k2001A, 32},    {"GOST2001-CryptoPro-B", k2001B, 32},
    {"GOST2001-CryptoPro-C", k2001C, 32},    {"GOST2001-test", k2001Test, 32},
    {"GOST2001-CryptoPro-A", k2001XchA, 32}, {"GOST2001-CryptoPro-C", k2001XchB, 32},
    {"GOST2012-256-A", k256A, 32},           {"GOST2001-CryptoPro-A", k256B, 32},
    {"GOST2001-CryptoPro-B", k256C, 32},     {"GOST2001-CryptoPro-C", k256D, 32},
    {"GOST2012-512-tc26-A", k512A, 64},      {"GOST2012-512-tc26-B", k512B, 64},
    {"GOST2012-512-tc26-C", k512C, 64},      {"GOST2012-512-test", k512Test, 64},
};

} // namespace

std::span<const Curve> curves() noexcept {
    return kCurves;
}

const Curve* curveByOid(ByteView der) noexcept {
    const auto found = std::ranges::find_if(
        kCurves, [&](const Curve& curve) { return std::ranges::equal(curve.oidDer, der); });
    return found == std::end(kCurves) ? nullptr : &*found;
}

const Curve* curveByName(std::string_view gcryptName) noexcept {
    const auto found = std::ranges::find_if(
        kCurves, [&](const Curve& curve) { return curve.gcryptName == gcryptName; });
    return found == std::end(kCurves) ? nullptr : &*found;
}

} // namespace gost
