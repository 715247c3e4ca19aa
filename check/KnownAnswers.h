// Published known answers of the GOST hash functions: GOST R 34.11-94 with the CryptoPro
// parameter set (the set the token hashes with) and GOST R 34.11-2012 (RFC 6986, message M1).
#pragma once

#include "token/Cryptoki.h"

#include <array>
#include <string_view>

namespace check {

struct KnownDigest {
    std::string_view algorithm; // as the hashing page names it
    CK_MECHANISM_TYPE mechanism;
    std::string_view message;
    std::string_view shown;  // how the report names the message
    std::string_view digest; // lower-case hexadecimal, in the order the hash outputs it
};

extern const std::array<KnownDigest, 4> kKnownDigests;

} // namespace check
