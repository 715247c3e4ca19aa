// A GOST public key as X.509 SubjectPublicKeyInfo (RFC 4491 and its 2012 successors), in DER
// and in the PEM form that OpenSSL with the gost engine reads.
#pragma once

#include "emulator/crypto/Gost.h"

#include <string>

namespace gost {

// SEQUENCE { SEQUENCE { algorithm, SEQUENCE { curve OID, digest OID } },
//            BIT STRING { OCTET STRING { X then Y, each little-endian } } }
// The algorithm is GOST R 34.10-2001 for a 256-bit key with the 34.11-94 digest, 34.10-2012
// with 256 or 512 bits otherwise.
Bytes subjectPublicKeyInfo(const Curve& curve, Hash hash, ByteView publicValue);

// "-----BEGIN PUBLIC KEY-----", the DER in base64 lines of 64, "-----END PUBLIC KEY-----".
std::string publicKeyPem(const Curve& curve, Hash hash, ByteView publicValue);

} // namespace gost
