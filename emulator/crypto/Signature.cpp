#include "emulator/crypto/Gcrypt.h"
#include "support/Wipe.h"

#include <string>

namespace gost {

namespace {

using detail::check;
using detail::Mpi;
using detail::reversed;
using detail::Sexp;

// Owns a copy of a secret and wipes it when released.
struct SecretBytes {
    Bytes bytes;
    ~SecretBytes() { secureWipe(bytes.data(), bytes.size()); }
};

void requireSize(ByteView value, std::size_t size, const char* what) {
    if (value.size() != size) {
        throw std::invalid_argument(std::string(what) + " must be " + std::to_string(size) +
                                    " bytes, not " + std::to_string(value.size()));
    }
}

Sexp privateKey(const Curve& curve, ByteView privateValue) {
    requireSize(privateValue, curve.size, "a private key value");
    const SecretBytes d{reversed(privateValue)};
    Sexp key;
    check(gcry_sexp_build(key.out(), nullptr, "(private-key (ecc (curve %s) (d %b)))",
                          curve.gcryptName, static_cast<int>(d.bytes.size()), d.bytes.data()),
          "gcry_sexp_build");
    return key;
}

Sexp publicKey(const Curve& curve, ByteView publicValue) {
    requireSize(publicValue, 2 * curve.size, "a public key value");
    // An uncompressed point: 04, then X and Y big-endian.
    Bytes q{0x04};
    const Bytes x = reversed(publicValue.first(curve.size));
    const Bytes y = reversed(publicValue.last(curve.size));
    q.insert(q.end(), x.begin(), x.end());
    q.insert(q.end(), y.begin(), y.end());
    Sexp key;
    check(gcry_sexp_build(key.out(), nullptr, "(public-key (ecc (curve %s) (q %b)))",
                          curve.gcryptName, static_cast<int>(q.size()), q.data()),
          "gcry_sexp_build");
    return key;
}

Sexp digestData(const Curve& curve, ByteView digest) {
    requireSize(digest, curve.size, "a digest");
    // libgcrypt reads the value big-endian, the token's convention is little-endian.
    const Bytes value = reversed(digest);
    Sexp data;
    check(gcry_sexp_build(data.out(), nullptr, "(data (flags gost) (value %b))",
                          static_cast<int>(value.size()), value.data()),
          "gcry_sexp_build");
    return data;
}

class EcContext {
public:
    explicit EcContext(const Sexp& key) {
        check(gcry_mpi_ec_new(&context_, key.get(), nullptr), "gcry_mpi_ec_new");
    }
    ~EcContext() { gcry_ctx_release(context_); }
    EcContext(const EcContext&) = delete;
    EcContext& operator=(const EcContext&) = delete;

    gcry_ctx_t get() const noexcept { return context_; }

private:
    gcry_ctx_t context_ = nullptr;
};

} // namespace

Bytes publicValueOf(const Curve& curve, ByteView privateValue) {
    detail::initialise();
    const Sexp key = privateKey(curve, privateValue);
    const EcContext context(key);
    const Mpi d(gcry_mpi_ec_get_mpi("d", context.get(), 1));
    const Mpi order(gcry_mpi_ec_get_mpi("n", context.get(), 1));
    if (d.get() == nullptr || order.get() == nullptr) {
        throw CryptoError("libgcrypt lost the curve or the private value of a key");
    }
    if (gcry_mpi_cmp_ui(d.get(), 0) == 0 || gcry_mpi_cmp(d.get(), order.get()) >= 0) {
        throw std::invalid_argument("the private key value lies outside 1 .. q - 1");
    }
    // libgcrypt computes Q = d * G when asked for the missing point "q".
    gcry_mpi_point_t point = gcry_mpi_ec_get_point("q", context.get(), 1);
    if (point == nullptr) {
        throw CryptoError("libgcrypt could not compute the public point of a key");
    }
    const Mpi x(gcry_mpi_new(0));
    const Mpi y(gcry_mpi_new(0));
    const int atInfinity = gcry_mpi_ec_get_affine(x.get(), y.get(), point, context.get());
    gcry_mpi_point_release(point);
    if (atInfinity != 0) {
        throw CryptoError("the public point of a key is the point at infinity");
    }
    Bytes value = reversed(x.bigEndian(curve.size));
    const Bytes yLittle = reversed(y.bigEndian(curve.size));
    value.insert(value.end(), yLittle.begin(), yLittle.end());
    return value;
}

KeyPair generateKeyPair(const Curve& curve) {
    detail::initialise();
    Sexp parameters;
    check(gcry_sexp_build(parameters.out(), nullptr, "(genkey (ecc (curve %s)))", curve.gcryptName),
          "gcry_sexp_build");
    Sexp key;
    check(gcry_pk_genkey(key.out(), parameters.get()), "gcry_pk_genkey");
    const Mpi d = detail::numberOf(key.find("private-key").find("d"));
    SecretBytes big{d.bigEndian(curve.size)};
    KeyPair pair;
    pair.privateValue = reversed(big.bytes);
    pair.publicValue = publicValueOf(curve, pair.privateValue);
    return pair;
}

Bytes sign(const Curve& curve, ByteView privateValue, ByteView digest) {
    detail::initialise();
    const Sexp key = privateKey(curve, privateValue);
    const Sexp data = digestData(curve, digest);
    Sexp signature;
    check(gcry_pk_sign(signature.out(), data.get(), key.get()), "gcry_pk_sign");
    const Sexp values = signature.find("gost");
    Bytes result = detail::numberOf(values.find("s")).bigEndian(curve.size);
    const Bytes r = detail::numberOf(values.find("r")).bigEndian(curve.size);
    result.insert(result.end(), r.begin(), r.end());
    return result;
}

bool verify(const Curve& curve, ByteView publicValue, ByteView digest, ByteView signature) {
    detail::initialise();
    requireSize(signature, 2 * curve.size, "a signature");
    const Sexp key = publicKey(curve, publicValue);
    const Sexp data = digestData(curve, digest);
    const ByteView s = signature.first(curve.size);
    const ByteView r = signature.last(curve.size);
    Sexp value;
    check(gcry_sexp_build(value.out(), nullptr, "(sig-val (gost (r %b) (s %b)))",
                          static_cast<int>(r.size()), r.data(), static_cast<int>(s.size()),
                          s.data()),
          "gcry_sexp_build");
    const gcry_error_t error = gcry_pk_verify(value.get(), data.get(), key.get());
    if (gcry_err_code(error) == GPG_ERR_BAD_SIGNATURE) {
        return false;
    }
    check(error, "gcry_pk_verify");
    return true;
}

} // namespace gost
