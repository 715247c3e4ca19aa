// GOST cryptography of the software token, by libgcrypt, in the byte conventions of PKCS#11:
// digests as the hash functions output them; key values little-endian (public: X then Y);
// a signature is s then r, each big-endian and as long as the digest.
#pragma once

#include <cstddef>
#include <span>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace gost {

using Bytes = std::vector<unsigned char>;
using ByteView = std::span<const unsigned char>;

// A libgcrypt call failed; the message names the call and libgcrypt's reason.
class CryptoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class Hash {
    R3411_94, // GOST R 34.11-94 with the CryptoPro parameters
    Streebog256,
    Streebog512,
};

std::size_t digestSize(Hash hash) noexcept;
Bytes digest(Hash hash, ByteView data);

// A GOST R 34.10 curve, found by the DER of its parameter-set OID (CKA_GOSTR3410_PARAMS).
struct Curve {
    const char* gcryptName; // the name libgcrypt knows it by
    ByteView oidDer;
    std::size_t size; // bytes of a coordinate, of the private value and of a digest: 32 or 64
};
const Curve* curveByOid(ByteView der) noexcept;
const Curve* curveByName(std::string_view gcryptName) noexcept;

struct KeyPair {
    Bytes privateValue; // little-endian, curve.size bytes
    Bytes publicValue;  // X then Y, each little-endian, 2 * curve.size bytes
};
KeyPair generateKeyPair(const Curve& curve);
Bytes publicValueOf(const Curve& curve, ByteView privateValue);

// The digest must be curve.size bytes; it is read as a little-endian number.
Bytes sign(const Curve& curve, ByteView privateValue, ByteView digest);
bool verify(const Curve& curve, ByteView publicValue, ByteView digest, ByteView signature);

// GOST 28147-89 in CFB-64 mode with CryptoPro key meshing, the S-box named by the DER of its
// OID (CKA_GOST28147_PARAMS; empty means CryptoPro-A). Output length = input length; `out`
// may equal `in`.
void cfb(bool encrypt, ByteView key, ByteView iv, ByteView sboxOidDer, const unsigned char* in,
         unsigned char* out, std::size_t size);

} // namespace gost
