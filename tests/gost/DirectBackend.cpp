#include "tests/gost/Backend.h"

#include <stdexcept>

namespace crosscheck {

namespace {

const gost::Curve& curveOf(const char* oidDer, std::size_t size) {
    const gost::Curve* curve =
        gost::curveByOid(ByteView(reinterpret_cast<const unsigned char*>(oidDer), size));
    if (curve == nullptr) {
        throw std::logic_error("a cross-check curve is unknown");
    }
    return *curve;
}

class DirectBackend : public Backend {
public:
    explicit DirectBackend(const KeySet& keys) : keys_(keys) {}

    Bytes digest(gost::Hash hash, ByteView data) override { return gost::digest(hash, data); }

    Bytes sign(std::size_t kind, ByteView digest) override {
        return gost::sign(*keyKinds()[kind].curve, keys_.kinds[kind].token.privateValue, digest);
    }

    bool verifyOpenSslKey(std::size_t kind, ByteView digest, ByteView signature) override {
        return gost::verify(*keyKinds()[kind].curve, keys_.kinds[kind].opensslPublicValue, digest,
                            signature);
    }

    Bytes cipher(bool encrypt, ByteView iv, ByteView data) override {
        Bytes out(data.size());
        gost::cfb(encrypt, keys_.cipherKey, iv, {}, data.data(), out.data(), data.size());
        return out;
    }

private:
    const KeySet& keys_;
};

} // namespace

const std::vector<KeyKind>& keyKinds() {
    static const std::vector<KeyKind> kinds = {
        {"2001-CryptoPro-A", "gost2001", "A", "-md_gost94", gost::Hash::R3411_94,
         &curveOf("\x06\x07\x2A\x85\x03\x02\x02\x23\x01", 9)},
        {"2012-256-tc26-A", "gost2012_256", "TCA", "-md_gost12_256", gost::Hash::Streebog256,
         &curveOf("\x06\x09\x2A\x85\x03\x07\x01\x02\x01\x01\x01", 11)},
        {"2012-512-tc26-A", "gost2012_512", "A", "-md_gost12_512", gost::Hash::Streebog512,
         &curveOf("\x06\x09\x2A\x85\x03\x07\x01\x02\x01\x02\x01", 11)},
        {"2012-512-tc26-B", "gost2012_512", "B", "-md_gost12_512", gost::Hash::Streebog512,
         &curveOf("\x06\x09\x2A\x85\x03\x07\x01\x02\x01\x02\x02", 11)},
    };
    return kinds;
}

std::unique_ptr<Backend> makeDirectBackend(const KeySet& keys) {
    return std::make_unique<DirectBackend>(keys);
}

} // namespace crosscheck
