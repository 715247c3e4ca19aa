#include "emulator/crypto/PublicKeyInfo.h"
#include "tests/gost/Backend.h"

#include <random>
#include <stdexcept>

namespace crosscheck {

namespace {

// The public value at the end of openssl's SubjectPublicKeyInfo: OCTET STRING of X then Y.
Bytes publicValueFromDer(const Bytes& der, std::size_t size) {
    const std::size_t length = 2 * size;
    const std::size_t header = length < 0x80 ? 2 : 3;
    if (der.size() < length + header || der[der.size() - length - header] != 0x04) {
        throw std::runtime_error("openssl's public key is not an OCTET STRING of X and Y");
    }
    return Bytes(der.end() - static_cast<long>(length), der.end());
}

} // namespace

KeySet makeKeySet(const ScratchFolder& folder) {
    KeySet keys;
    std::random_device random;
    for (int i = 0; i < 32; ++i) {
        keys.cipherKey.push_back(static_cast<unsigned char>(random()));
    }
    for (std::size_t i = 0; i < keyKinds().size(); ++i) {
        const KeyKind& kind = keyKinds()[i];
        KeySet::PerKind each;
        const std::string stem = "key" + std::to_string(i);
        each.token = gost::generateKeyPair(*kind.curve);
        each.tokenPublicPem = folder.file(stem + "-token.pem");
        writeText(each.tokenPublicPem,
                  gost::publicKeyPem(*kind.curve, kind.hash, each.token.publicValue));

        each.opensslPrivatePem = folder.file(stem + "-openssl-private.pem");
        each.opensslPublicPem = folder.file(stem + "-openssl-public.pem");
        const std::string der = folder.file(stem + "-openssl-public.der");
        openssl("genpkey", std::string("-algorithm ") + kind.opensslAlgorithm +
                               " -pkeyopt paramset:" + kind.opensslParamset + " -out " +
                               each.opensslPrivatePem);
        openssl("pkey", "-in " + each.opensslPrivatePem + " -pubout -out " + each.opensslPublicPem);
        openssl("pkey", "-in " + each.opensslPrivatePem + " -pubout -outform DER -out " + der);
        each.opensslPublicValue = publicValueFromDer(readFile(der), kind.curve->size);
        keys.kinds.push_back(std::move(each));
    }
    return keys;
}

} // namespace crosscheck
