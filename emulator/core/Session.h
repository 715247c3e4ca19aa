// A session of the software token and the operations it has under way.
#pragma once

#include "emulator/crypto/Gost.h"
#include "support/Wipe.h"
#include "token/Cryptoki.h"

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

namespace emulator {

// Key material held by an operation; wiped when the operation ends.
class SecretBytes {
public:
    SecretBytes() = default;
    explicit SecretBytes(gost::Bytes bytes) : bytes_(std::move(bytes)) {}
    SecretBytes(SecretBytes&&) noexcept = default;
    SecretBytes& operator=(SecretBytes&& other) noexcept {
        wipe();
        bytes_ = std::move(other.bytes_);
        return *this;
    }
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;
    ~SecretBytes() { wipe(); }

    gost::ByteView view() const { return bytes_; }

private:
    void wipe() noexcept { secureWipe(bytes_.data(), bytes_.size()); }

    gost::Bytes bytes_;
};

struct FindOperation {
    std::vector<CK_OBJECT_HANDLE> handles;
    std::size_t next = 0;
};

struct DigestOperation {
    gost::Hash hash = gost::Hash::R3411_94;
    bool multiPart = false; // C_DigestUpdate was called: only C_DigestUpdate/C_DigestFinal
    gost::Bytes collected;  // the data of the C_DigestUpdate calls
};

struct SignOperation {
    const gost::Curve* curve = nullptr;
    SecretBytes privateValue;
    gost::Bytes keyId;
    bool journal = false;   // the key's journal attribute is set: record every signature
    bool invisible = false; // started by C_EX_SignInvisibleInit
};

struct VerifyOperation {
    const gost::Curve* curve = nullptr;
    gost::Bytes publicValue;
};

struct CipherOperation {
    SecretBytes key;
    gost::Bytes iv;
    gost::Bytes sbox; // DER of the S-box OID; empty: CryptoPro-A
};

struct Session {
    CK_SLOT_ID slot = 0;
    CK_FLAGS flags = 0;
    std::optional<FindOperation> find;
    std::optional<DigestOperation> digest;
    std::optional<SignOperation> sign;
    std::optional<VerifyOperation> verify;
    std::optional<CipherOperation> encrypt;
    std::optional<CipherOperation> decrypt;

    bool readWrite() const { return (flags & CKF_RW_SESSION) != 0; }
};

} // namespace emulator
