// The token that a fresh default state file holds.
#include "emulator/core/StateFile.h"
#include "emulator/crypto/Gost.h"

#include <array>
#include <string_view>

namespace emulator {
namespace {

constexpr std::array<unsigned char, 9> k2001A = {0x06, 0x07, 0x2A, 0x85, 0x03,
                                                 0x02, 0x02, 0x23, 0x01};
constexpr std::array<unsigned char, 11> k2012_256A = {0x06, 0x09, 0x2A, 0x85, 0x03, 0x07,
                                                      0x01, 0x02, 0x01, 0x01, 0x01};
constexpr std::array<unsigned char, 11> k2012_512A = {0x06, 0x09, 0x2A, 0x85, 0x03, 0x07,
                                                      0x01, 0x02, 0x01, 0x02, 0x01};
constexpr std::array<unsigned char, 9> kCipherA = {0x06, 0x07, 0x2A, 0x85, 0x03,
                                                   0x02, 0x02, 0x1F, 0x01};

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

template <std::size_t N>
Bytes bytesOf(const std::array<unsigned char, N>& der) {
    return Bytes(der.begin(), der.end());
}

struct Flags {
    unsigned char pin;
    unsigned char visual;
    unsigned char journal;
};

void addKeyPair(TokenState& token, KeyType keyType, const Bytes& curveOid, gost::Hash hash,
                std::string_view label, unsigned char id, Flags flags) {
    const gost::Curve* curve = gost::curveByOid(curveOid);
    const gost::KeyPair pair = gost::generateKeyPair(*curve);
    const gost::ByteView hashOid = gost::hashOid(hash);

    KeyObject key;
    key.keyType = keyType;
    key.label = bytesOf(label);
    key.id = {id};
    key.gostr3410Params = curveOid;
    key.gostr3411Params.assign(hashOid.begin(), hashOid.end());
    key.vendorJournal = flags.journal;

    KeyObject privateKey = key;
    privateKey.handle = token.nextHandle();
    privateKey.objectClass = ObjectClass::Private;
    privateKey.isPrivate = true;
    privateKey.value = pair.privateValue;
    privateKey.vendorPin = flags.pin;
    privateKey.vendorVisual = flags.visual;
    token.objects.push_back(std::move(privateKey));

    KeyObject publicKey = key;
    publicKey.handle = token.nextHandle();
    publicKey.objectClass = ObjectClass::Public;
    publicKey.isPrivate = false;
    publicKey.value = pair.publicValue;
    token.objects.push_back(std::move(publicKey));
}

void addSecretKey(TokenState& token, std::string_view label, unsigned char id) {
    KeyObject key;
    key.handle = token.nextHandle();
    key.objectClass = ObjectClass::Secret;
    key.keyType = KeyType::Gost28147;
    key.label = bytesOf(label);
    key.id = {id};
    key.isPrivate = true;
    key.gost28147Params = bytesOf(kCipherA);
    // A fresh random key: the private value of a generated key pair is 32 random bytes.
    key.value = gost::generateKeyPair(*gost::curveByOid(bytesOf(k2001A))).privateValue;
    token.objects.push_back(std::move(key));
}

} // namespace

State demoState() {
    TokenState token;
    token.model = "Veltora QRD";
    token.label = bytesOf("Демо-токен");
    token.manufacturer = "Veltora";
    token.serial = "1A2B3C4D";
    token.firmwareMajor = 1;
    token.firmwareMinor = 2;
    token.userPin = "12345678";
    token.soPin = "87654321";
    token.checksum = 0x5A3C96E1;

    addKeyPair(token, KeyType::Gostr3410, bytesOf(k2001A), gost::Hash::R3411_94,
               "ГОСТ Р 34.10-2001", 0x01, {1, 0, 1});
    addKeyPair(token, KeyType::Gostr3410, bytesOf(k2012_256A), gost::Hash::Streebog256,
               "ГОСТ Р 34.10-2012 256", 0x02, {0, 1, 0});
    addKeyPair(token, KeyType::Gostr3410_512, bytesOf(k2012_512A), gost::Hash::Streebog512,
               "ГОСТ Р 34.10-2012 512", 0x03, {1, 1, 1});
    addSecretKey(token, "Ключ шифрования 1", 0x11);
    addSecretKey(token, "Ключ шифрования 2", 0x12);

    State state;
    state.slots.emplace_back(std::move(token));
    return state;
}

} // namespace emulator
