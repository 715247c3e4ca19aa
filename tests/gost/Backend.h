// What the OpenSSL cross-checks exercise: the token's GOST operations, either by qrd_gost
// directly or through the PKCS#11 module, with the same keys.
#pragma once

#include "emulator/crypto/Gost.h"
#include "tests/gost/OpenSsl.h"

#include <memory>
#include <string>
#include <vector>

namespace crosscheck {

// A signature key kind and how openssl names it.
struct KeyKind {
    const char* name;
    const char* opensslAlgorithm; // genpkey -algorithm
    const char* opensslParamset;  // genpkey -pkeyopt paramset:
    const char* opensslDigest;    // dgst option
    gost::Hash hash;
    const gost::Curve* curve;
};

const std::vector<KeyKind>& keyKinds();

// The keys of one run: per kind, a key pair the token holds and one that openssl generated;
// and the token's secret key.
struct KeySet {
    struct PerKind {
        gost::KeyPair token;
        std::string tokenPublicPem; // file written from the token's public value
        std::string opensslPrivatePem;
        std::string opensslPublicPem;
        Bytes opensslPublicValue; // X then Y little-endian, read from openssl's DER
    };
    std::vector<PerKind> kinds;
    Bytes cipherKey;
};

// Generates the keys (openssl genpkey for its half) into files of `folder`.
KeySet makeKeySet(const ScratchFolder& folder);

class Backend {
public:
    virtual ~Backend() = default;
    virtual Bytes digest(gost::Hash hash, ByteView data) = 0;
    // With the token's key of kind `kind`.
    virtual Bytes sign(std::size_t kind, ByteView digest) = 0;
    // With the public key openssl generated for kind `kind`.
    virtual bool verifyOpenSslKey(std::size_t kind, ByteView digest, ByteView signature) = 0;
    // With the token's secret key.
    virtual Bytes cipher(bool encrypt, ByteView iv, ByteView data) = 0;
};

std::unique_ptr<Backend> makeDirectBackend(const KeySet& keys);
// Writes a state file with the keys into `folder`, loads the module and logs in.
std::unique_ptr<Backend> makeModuleBackend(const KeySet& keys, const ScratchFolder& folder);

} // namespace crosscheck
