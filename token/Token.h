// The one session with the one token: start-up and shut-down, identity, PINs, key lists and
// the cryptographic operations. Every call into the module goes through the logged wrappers.
#pragma once

#include "support/Bytes.h"
#include "token/Cryptoki.h"
#include "token/Key.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Pkcs11Module;

// Loads the module, initialises it, requires exactly one token of a supported model with
// firmware minor version 2, and opens a read/write session. On failure nothing stays loaded
// and no Token exists.
void initializeToken();
// The same with a module the caller has already loaded; it is released with the session, or
// at once when the start-up fails.
void initializeToken(std::unique_ptr<Pkcs11Module> module);

// Closes the session, finalises and unloads the module. C_Finalize and the unloading happen on
// every path; a failing C_CloseSession is ignored, and any other failure (C_Finalize's, or the
// log's) propagates after the module is unloaded, the first one if there are several. Does
// nothing when no session was started.
void finalizeToken();

// The process-wide module binding; null outside a started session.
Pkcs11Module* moduleBinding() noexcept;

class Token {
public:
    // The token of the started session, or null.
    static Token* instance() noexcept;

    ~Token();
    Token(const Token&) = delete;
    Token& operator=(const Token&) = delete;

    const std::string& getSerialNumber() const noexcept { return serialNumber_; }
    const std::string& getLabel() const noexcept { return label_; }
    std::uint32_t getChecksum() const noexcept { return checksum_; }
    bool isChecksumInvalid() const noexcept { return checksumInvalid_; }
    bool hasScreen() const noexcept { return screenModel_; }

    // Logs the user in and keeps the PIN; a failure keeps the PIN kept before.
    void login(const std::string& pin);
    // Changes the user PIN from the kept one to the new one, which is then kept.
    void setPin(const std::string& newPin);
    // Asks the screen model to take a new PIN2 on its own screen.
    void setLocalPin();
    // The flags of the token's information as the token reports them now, the state of the
    // user PIN among them (CKF_USER_PIN_COUNT_LOW, CKF_USER_PIN_FINAL_TRY,
    // CKF_USER_PIN_LOCKED).
    CK_FLAGS getTokenFlags();

    // The handles matching the template, in the module's order.
    std::vector<CK_OBJECT_HANDLE> findObjects(CK_ATTRIBUTE_PTR attributes, CK_ULONG count);
    KeyList<SecretKey> getSecretKeys();
    KeyList<PrivateKey> getPrivateKeys();
    KeyList<PublicKey> getPublicKeys();

    Bytes digest(const Bytes& data, CK_MECHANISM_TYPE digestMechanism);
    Bytes signDigest(const PrivateKey& key, const Bytes& digest, CK_MECHANISM_TYPE signMechanism);
    Bytes signDigestInvisible(const PrivateKey& key, const Bytes& digest,
                              CK_MECHANISM_TYPE signMechanism);
    Bytes sign(const PrivateKey& key, const Bytes& data, CK_MECHANISM_TYPE digestMechanism,
               CK_MECHANISM_TYPE signMechanism);
    Bytes signInvisible(const PrivateKey& key, const Bytes& data, CK_MECHANISM_TYPE digestMechanism,
                        CK_MECHANISM_TYPE signMechanism);
    // False when the module answers CKR_SIGNATURE_INVALID; every other refusal throws.
    bool verifyDigest(const PublicKey& key, const Bytes& digest, const Bytes& signature,
                      CK_MECHANISM_TYPE signMechanism);
    bool verify(const PublicKey& key, const Bytes& data, const Bytes& signature,
                CK_MECHANISM_TYPE digestMechanism, CK_MECHANISM_TYPE signMechanism);
    Bytes encrypt(const SecretKey& key, const Bytes& data);
    Bytes decrypt(const SecretKey& key, const Bytes& data);
    Bytes getJournal();

private:
    friend void initializeToken(std::unique_ptr<Pkcs11Module> module);
    // The same with a module the caller has already loaded; it is released with the session, or
    // at once when the start-up fails.
    void initializeToken(std::unique_ptr<Pkcs11Module> module);
    friend void finalizeToken();
    Token(Pkcs11Module& module, CK_SLOT_ID slot, const CK_TOKEN_INFO& info, std::uint32_t checksum,
          bool checksumInvalid, bool screenModel);

    template <typename K>
    void appendKeys(KeyList<K>& keys, CK_OBJECT_CLASS objectClass, CK_KEY_TYPE keyType);

    Pkcs11Module& module() const;

    CK_SESSION_HANDLE sessionHandle_ = 0;
    std::string serialNumber_;
    std::string label_;
    std::string pin_;
    CK_SLOT_ID slotId_;
    std::uint32_t checksum_;
    bool checksumInvalid_;
    bool screenModel_;
};
