// Key objects: snapshots of a key's attributes, read once when the object is built; later
// only the handle addresses the key in the token's session.
#pragma once

#include "support/Bytes.h"
#include "token/Cryptoki.h"

#include <cstdint>
#include <string>
#include <vector>

class Pkcs11Module;

// The signature algorithm family of an asymmetric key, from its hash parameter set.
enum KeyAlgorithm : std::uint32_t {
    GOST_2001 = 0,
    GOST_2012_256 = 1,
    GOST_2012_512 = 2,
};

class Key {
public:
    // Reads CKA_LABEL and CKA_ID: lengths first, then the values.
    Key(Pkcs11Module& module, CK_SESSION_HANDLE session, CK_OBJECT_HANDLE handle);
    virtual ~Key() = default;
    Key(const Key&) = default;
    Key& operator=(const Key&) = default;

    CK_OBJECT_HANDLE getHandle() const noexcept { return handle_; }
    // Exactly the bytes the token returned, not trimmed.
    const std::string& getLabel() const noexcept { return label_; }
    const Bytes& getId() const noexcept { return id_; }

protected:
    Pkcs11Module* module_;
    CK_OBJECT_HANDLE handle_;
    std::string label_;
    Bytes id_;
};

class AsymmetricKey : public Key {
public:
    // Reads the hash parameter set and the journal attribute.
    AsymmetricKey(Pkcs11Module& module, CK_SESSION_HANDLE session, CK_OBJECT_HANDLE handle);

    KeyAlgorithm getAlgorithm() const noexcept { return algorithm_; }
    std::uint16_t getBits() const noexcept { return bits_; }
    bool hasJournalFlag() const noexcept { return journalFlag_; }

private:
    bool journalFlag_ = false;
    std::uint16_t bits_ = 256;
    KeyAlgorithm algorithm_ = GOST_2001;
};

class PrivateKey : public AsymmetricKey {
public:
    // Reads the visual and PIN attributes.
    PrivateKey(Pkcs11Module& module, CK_SESSION_HANDLE session, CK_OBJECT_HANDLE handle);

    bool hasVisualFlag() const noexcept { return visualFlag_; }
    bool hasPinFlag() const noexcept { return pinFlag_; }

private:
    bool visualFlag_ = false;
    bool pinFlag_ = false;
};

class PublicKey : public AsymmetricKey {
public:
    using AsymmetricKey::AsymmetricKey;
};

class SecretKey : public Key {
public:
    using Key::Key;
};

// Keys of one class, in the order the token's searches returned them.
template <typename K>
using KeyList = std::vector<K>;
