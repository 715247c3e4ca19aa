#include "emulator/crypto/PublicKeyInfo.h"

#include <string>

namespace gost {

namespace {

constexpr unsigned char kAlgorithm2001[] = {0x06, 0x06, 0x2A, 0x85, 0x03, 0x02, 0x02, 0x13};
constexpr unsigned char kAlgorithm2012_256[] = {0x06, 0x08, 0x2A, 0x85, 0x03,
                                                0x07, 0x01, 0x01, 0x01, 0x01};
constexpr unsigned char kAlgorithm2012_512[] = {0x06, 0x08, 0x2A, 0x85, 0x03,
                                                0x07, 0x01, 0x01, 0x01, 0x02};

void append(Bytes& to, ByteView bytes) {
    to.insert(to.end(), bytes.begin(), bytes.end());
}

// Tag, DER length, contents.
Bytes tlv(unsigned char tag, ByteView contents) {
    Bytes result{tag};
    const std::size_t length = contents.size();
    if (length < 0x80) {
        result.push_back(static_cast<unsigned char>(length));
    } else {
        Bytes octets;
        for (std::size_t rest = length; rest != 0; rest >>= 8) {
            octets.insert(octets.begin(), static_cast<unsigned char>(rest & 0xFF));
        }
        result.push_back(static_cast<unsigned char>(0x80 | octets.size()));
        append(result, octets);
    }
    append(result, contents);
    return result;
}

std::string base64(ByteView bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t left = bytes.size() - i;
        const unsigned long group = (static_cast<unsigned long>(bytes[i]) << 16) |
                                    (left > 1 ? static_cast<unsigned long>(bytes[i + 1]) << 8 : 0) |
                                    (left > 2 ? bytes[i + 2] : 0);
        text += kAlphabet[(group >> 18) & 0x3F];
        text += kAlphabet[(group >> 12) & 0x3F];
        text += left > 1 ? kAlphabet[(group >> 6) & 0x3F] : '=';
        text += left > 2 ? kAlphabet[group & 0x3F] : '=';
    }
    return text;
}

} // namespace

Bytes subjectPublicKeyInfo(const Curve& curve, Hash hash, ByteView publicValue) {
    if (publicValue.size() != 2 * curve.size) {
        throw std::invalid_argument("a public key value must be " + std::to_string(2 * curve.size) +
                                    " bytes");
    }
    ByteView algorithm = kAlgorithm2012_256;
    if (curve.size == 64) {
        algorithm = kAlgorithm2012_512;
    } else if (hash == Hash::R3411_94) {
        algorithm = kAlgorithm2001;
    }
    Bytes parameters(curve.oidDer.begin(), curve.oidDer.end());
    append(parameters, hashOid(hash));
    Bytes identifier(algorithm.begin(), algorithm.end());
    append(identifier, tlv(0x30, parameters));

    Bytes bits{0x00}; // no unused bits
    append(bits, tlv(0x04, publicValue));

    Bytes info = tlv(0x30, identifier);
    append(info, tlv(0x03, bits));
    return tlv(0x30, info);
}

std::string publicKeyPem(const Curve& curve, Hash hash, ByteView publicValue) {
    const std::string encoded = base64(subjectPublicKeyInfo(curve, hash, publicValue));
    std::string pem = "-----BEGIN PUBLIC KEY-----\n";
    for (std::size_t i = 0; i < encoded.size(); i += 64) {
        pem += encoded.substr(i, 64) + "\n";
    }
    pem += "-----END PUBLIC KEY-----\n";
    return pem;
}

} // namespace gost
