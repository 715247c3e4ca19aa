// The token's GOST results against OpenSSL with the gost engine, an independent
// implementation: digests, signatures both ways, and CFB encryption with key meshing. Each
// check runs on qrd_gost directly and, where the module is built, through its PKCS#11 calls.
#include "tests/gost/Backend.h"

#include <gtest/gtest.h>
#include <memory>
#include <random>

using namespace crosscheck;

namespace {

Bytes randomBytes(std::size_t size) {
    static std::mt19937 generator(std::random_device{}());
    Bytes bytes(size);
    for (auto& byte : bytes) {
        byte = static_cast<unsigned char>(generator());
    }
    return bytes;
}

const char* digestOption(gost::Hash hash) {
    switch (hash) {
    case gost::Hash::R3411_94:
        return "-md_gost94";
    case gost::Hash::Streebog256:
        return "-md_gost12_256";
    case gost::Hash::Streebog512:
        break;
    }
    return "-md_gost12_512";
}

class OpenSslCrossCheck : public testing::TestWithParam<std::string> {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(gostEngineAvailable())
            << "openssl with the gost engine (libengine-gost-openssl) is needed";
        folder_ = new ScratchFolder;
        keys_ = new KeySet(makeKeySet(*folder_));
    }

    static void TearDownTestSuite() {
        delete keys_;
        keys_ = nullptr;
        delete folder_;
        folder_ = nullptr;
    }

    void SetUp() override {
        ASSERT_NE(keys_, nullptr);
        backend_ = GetParam() == "module" ? makeModuleBackend(*keys_, *folder_)
                                          : makeDirectBackend(*keys_);
    }

    void TearDown() override { backend_.reset(); }

    std::string file(const std::string& name) const { return folder_->file(name); }

    static ScratchFolder* folder_;
    static KeySet* keys_;
    std::unique_ptr<Backend> backend_;
};

ScratchFolder* OpenSslCrossCheck::folder_ = nullptr;
KeySet* OpenSslCrossCheck::keys_ = nullptr;

TEST_P(OpenSslCrossCheck, DigestsOfRandomDataEqualOpenSsl) {
    // Around the block sizes (32 bytes for 34.11-94, 64 for Streebog) and several blocks on.
    for (std::size_t size : {1, 31, 32, 33, 63, 64, 65, 1000, 4096, 100003}) {
        const Bytes data = randomBytes(size);
        writeFile(file("data"), data);
        for (gost::Hash hash :
             {gost::Hash::R3411_94, gost::Hash::Streebog256, gost::Hash::Streebog512}) {
            openssl("dgst", std::string(digestOption(hash)) + " -binary -out " + file("digest") +
                                " " + file("data"));
            EXPECT_EQ(hex(backend_->digest(hash, data)), hex(readFile(file("digest"))))
                << "size " << size << ", " << digestOption(hash);
        }
    }
}

TEST_P(OpenSslCrossCheck, TokenSignaturesVerifyWithOpenSsl) {
    for (std::size_t i = 0; i < keyKinds().size(); ++i) {
        const KeyKind& kind = keyKinds()[i];
        SCOPED_TRACE(kind.name);
        const std::string& publicPem = keys_->kinds[i].tokenPublicPem;
        const Bytes data = randomBytes(777);
        writeFile(file("data"), data);
        const Bytes digest = backend_->digest(kind.hash, data);
        writeFile(file("digest"), digest);
        writeFile(file("signature"), backend_->sign(i, digest));

        // Over the digest, and over the whole file hashed by openssl itself.
        EXPECT_NO_THROW(openssl("pkeyutl", "-verify -pubin -inkey " + publicPem + " -in " +
                                               file("digest") + " -sigfile " + file("signature")));
        EXPECT_NO_THROW(openssl("dgst", std::string(kind.opensslDigest) + " -verify " + publicPem +
                                            " -signature " + file("signature") + " " +
                                            file("data")));

        // The same signature over other data fails, so the checks above are not vacuous.
        Bytes other = data;
        other[0] ^= 1;
        writeFile(file("other"), other);
        EXPECT_NE(run("openssl dgst -engine gost " + std::string(kind.opensslDigest) + " -verify " +
                      publicPem + " -signature " + file("signature") + " " + file("other"))
                      .status,
                  0);
    }
}

TEST_P(OpenSslCrossCheck, OpenSslSignaturesVerifyInToken) {
    for (std::size_t i = 0; i < keyKinds().size(); ++i) {
        const KeyKind& kind = keyKinds()[i];
        SCOPED_TRACE(kind.name);
        const std::string& privatePem = keys_->kinds[i].opensslPrivatePem;
        const Bytes data = randomBytes(1500);
        writeFile(file("data"), data);
        const Bytes digest = backend_->digest(kind.hash, data);
        writeFile(file("digest"), digest);

        openssl("dgst", std::string(kind.opensslDigest) + " -sign " + privatePem + " -out " +
                            file("signature") + " " + file("data"));
        const Bytes overFile = readFile(file("signature"));
        EXPECT_TRUE(backend_->verifyOpenSslKey(i, digest, overFile));

        openssl("pkeyutl", "-sign -inkey " + privatePem + " -in " + file("digest") + " -out " +
                               file("signature"));
        const Bytes overDigest = readFile(file("signature"));
        EXPECT_TRUE(backend_->verifyOpenSslKey(i, digest, overDigest));

        Bytes other = digest;
        other[0] ^= 1;
        EXPECT_FALSE(backend_->verifyOpenSslKey(i, other, overDigest));
    }
}

TEST_P(OpenSslCrossCheck, EncryptionEqualsOpenSslAcrossMeshing) {
    // Key meshing changes the key every 1024 bytes; partial last blocks end without padding.
    for (std::size_t size : {8, 13, 1016, 1023, 1024, 1025, 2048, 3001, 8197}) {
        SCOPED_TRACE(size);
        const Bytes plain = randomBytes(size);
        const Bytes iv = randomBytes(8);
        writeFile(file("plain"), plain);
        openssl("enc",
                "-gost89 -K " + hex(keys_->cipherKey) + " -iv " + hex(iv) + " -in " +
                    file("plain") + " -out " + file("cipher"),
                "CRYPT_PARAMS=id-Gost28147-89-CryptoPro-A-ParamSet");
        const Bytes expected = readFile(file("cipher"));
        EXPECT_EQ(hex(backend_->cipher(true, iv, plain)), hex(expected));
        EXPECT_EQ(hex(backend_->cipher(false, iv, expected)), hex(plain));
    }
}

std::vector<std::string> backends() {
#if defined(QRD_CROSSCHECK_MODULE)
    return {"direct", "module"};
#else
    return {"direct"};
#endif
}

std::string backendName(const testing::TestParamInfo<std::string>& backend) {
    return backend.param;
}

INSTANTIATE_TEST_SUITE_P(Token, OpenSslCrossCheck, testing::ValuesIn(backends()), backendName);

} // namespace
