#include "emulator/crypto/Gcrypt.h"

#include <string>

namespace gost {

namespace {

using detail::check;

// The dotted text of a DER-encoded OBJECT IDENTIFIER, the form gcry_cipher_set_sbox takes.
std::string dottedOid(ByteView der) {
    if (der.size() < 3 || der[0] != 0x06 || der[1] != der.size() - 2 || der[1] > 0x7F) {
        throw std::invalid_argument("the S-box parameters are not a DER object identifier");
    }
    std::string text;
    unsigned long long arc = 0;
    bool first = true;
    for (std::size_t i = 2; i < der.size(); ++i) {
        if (arc > (~0ULL >> 7)) {
            throw std::invalid_argument("an arc of the S-box object identifier is too long");
        }
        arc = (arc << 7) | (der[i] & 0x7FU);
        if ((der[i] & 0x80U) != 0) {
            if (i + 1 == der.size()) {
                throw std::invalid_argument("the S-box object identifier is truncated");
            }
            continue;
        }
        if (first) {
            const unsigned long long top = arc < 80 ? arc / 40 : 2;
            text.append(std::to_string(top));
            arc -= 40 * top;
            first = false;
        }
        text.push_back('.');
        text.append(std::to_string(arc));
        arc = 0;
    }
    return text;
}

class CipherHandle {
public:
    CipherHandle() {
        check(gcry_cipher_open(&handle_, GCRY_CIPHER_GOST28147_MESH, GCRY_CIPHER_MODE_CFB, 0),
              "gcry_cipher_open");
    }
    ~CipherHandle() { gcry_cipher_close(handle_); }
    CipherHandle(const CipherHandle&) = delete;
    CipherHandle& operator=(const CipherHandle&) = delete;

    gcry_cipher_hd_t get() const noexcept { return handle_; }

private:
    gcry_cipher_hd_t handle_ = nullptr;
};

} // namespace

void cfb(bool encrypt, ByteView key, ByteView iv, ByteView sboxOidDer, const unsigned char* in,
         unsigned char* out, std::size_t size) {
    detail::initialise();
    if (key.size() != kCipherKeySize) {
        throw std::invalid_argument("a GOST 28147-89 key must be 32 bytes");
    }
    if (iv.size() != kCipherIvSize) {
        throw std::invalid_argument("a GOST 28147-89 IV must be 8 bytes");
    }
    const std::string sbox = sboxOidDer.empty() ? "1.2.643.2.2.31.1" : dottedOid(sboxOidDer);
    const CipherHandle cipher;
    // The S-box must be chosen before the key is set, or the test S-box stays in use.
    // (gcry_cipher_set_sbox spelled out: the macro ends in a semicolon.)
    check(gcry_cipher_ctl(cipher.get(), GCRYCTL_SET_SBOX, const_cast<char*>(sbox.c_str()), 0),
          "gcry_cipher_set_sbox");
    check(gcry_cipher_setkey(cipher.get(), key.data(), key.size()), "gcry_cipher_setkey");
    check(gcry_cipher_setiv(cipher.get(), iv.data(), iv.size()), "gcry_cipher_setiv");
    if (size == 0) {
        return;
    }
    // Same buffer: libgcrypt's in-place form (no input pointer).
    const unsigned char* input = in == out ? nullptr : in;
    const std::size_t inputSize = in == out ? 0 : size;
    if (encrypt) {
        check(gcry_cipher_encrypt(cipher.get(), out, size, input, inputSize),
              "gcry_cipher_encrypt");
    } else {
        check(gcry_cipher_decrypt(cipher.get(), out, size, input, inputSize),
              "gcry_cipher_decrypt");
    }
}

} // namespace gost
