// GOST cryptography of the software token, by libgcrypt, in the byte conventions of PKCS#11:
// digests as the hash functions output them; key values little-endian (public: X then Y);
// a signature is s then r, each big-endian and as long as the digest.
//
// Every function initialises libgcrypt on first use (once, thread-safe). A libgcrypt failure
// throws CryptoError; input of the wrong size (a digest, key value, signature, IV or cipher key
// that does not fit) throws std::invalid_argument, so callers check sizes first and map them to
// their own return codes.
#pragma once

#include <cstddef>
#include <optional>
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

// The DER of a hash function's parameter-set OID (CKA_GOSTR3411_PARAMS), and back.
ByteView hashOid(Hash hash) noexcept;
std::optional<Hash> hashByOid(ByteView der) noexcept;

// A GOST R 34.10 curve, found by the DER of its parameter-set OID (CKA_GOSTR3410_PARAMS).
struct Curve {
    const char* gcryptName; // the name libgcrypt knows it by
    ByteView oidDer;
    std::size_t size; // bytes of a coordinate, of the private value and of a digest: 32 or 64
};
const Curve* curveByOid(ByteView der) noexcept;
// The first curve of that libgcrypt name (several OIDs name the same curve).
const Curve* curveByName(std::string_view gcryptName) noexcept;
// Every curve the token knows.
std::span<const Curve> curves() noexcept;

struct KeyPair {
    Bytes privateValue; // little-endian, curve.size bytes
    Bytes publicValue;  // X then Y, each little-endian, 2 * curve.size bytes
};
KeyPair generateKeyPair(const Curve& curve);
Bytes publicValueOf(const Curve& curve, ByteView privateValue);

// The digest must be curve.size bytes; it is read as a little-endian number (mod q, 0 taken as
// 1). The signature is 2 * curve.size bytes.
Bytes sign(const Curve& curve, ByteView privateValue, ByteView digest);
// False for a signature that does not match (including r or s out of range); a signature of
// the wrong length throws std::invalid_argument.
bool verify(const Curve& curve, ByteView publicValue, ByteView digest, ByteView signature);

inline constexpr std::size_t kCipherKeySize = 32;
inline constexpr std::size_t kCipherIvSize = 8;

// GOST 28147-89 in CFB-64 mode with CryptoPro key meshing, the S-box named by the DER of its
// OID (CKA_GOST28147_PARAMS; empty means CryptoPro-A). Output length = input length; `out`
// may equal `in`. An S-box OID libgcrypt does not know throws CryptoError.
void cfb(bool encrypt, ByteView key, ByteView iv, ByteView sboxOidDer, const unsigned char* in,
         unsigned char* out, std::size_t size);

} // namespace gost
