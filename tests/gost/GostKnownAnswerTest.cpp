// Known answers from the standards' own examples, and the failure paths the token relies on.
#include "emulator/crypto/Gost.h"
#include "tests/gost/Hex.h"

#include <gtest/gtest.h>
#include <random>
#include <thread>

using namespace gost;
using testhex::bytesOf;
using testhex::fromHex;
using testhex::toHex;

namespace {

// RFC 7091 section 7.1 in PKCS#11 form (curve "test").
const Bytes kRfcPublic =
    fromHex("0bd86fe5d8db89668f789b4e1dba8585c5508b45ec5b59d8906ddb70e2492b7f"
            "da77ff871a10fbdf2766d293c5d164afbb3c7b973a41c885d11d70d689b4f126");
const Bytes kRfcPrivate =
    fromHex("283bec9198ce191dee7e39491f96601bc1729ad39d35ed10beb99b78de9a927a");
const Bytes kRfcDigest =
    fromHex("e53e042b67e6ec678e2e02b12a0352ce1fc6eee0529cc088119ad872b3c1fb2d");
const Bytes kRfcSignature =
    fromHex("01456c64ba4642a1653c235a98a60249bcd6d3f746b631df928014f6c5bf9c40"
            "41aa28d2f1ab148280cd9ed56feda41974053554a42767b83ad043fd39dc0493");

const Bytes kCipherKey =
    fromHex("8182838485868788898a8b8c8d8e8f80d1d2d3d4d5d6d7d8d9dadbdcdddedfd0");
const Bytes kCipherIv = fromHex("0102030405060708");
const Bytes kCryptoProA = fromHex("06072a850302021f01");
const Bytes kTestSbox = fromHex("06072a850302021f00");

const Curve& curve(const char* oidHex) {
    const Curve* found = curveByOid(fromHex(oidHex));
    if (found == nullptr) {
        throw std::logic_error("unknown curve in a test");
    }
    return *found;
}

Bytes randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    Bytes bytes(size);
    for (auto& byte : bytes) {
        byte = static_cast<unsigned char>(generator());
    }
    return bytes;
}

Bytes encrypted(ByteView plain, ByteView sbox = {}) {
    Bytes out(plain.size());
    cfb(true, kCipherKey, kCipherIv, sbox, plain.data(), out.data(), plain.size());
    return out;
}

} // namespace

TEST(GostDigest, StandardMessages) {
    const Bytes m1 = bytesOf("012345678901234567890123456789012345678901234567890123456789012");
    EXPECT_EQ(toHex(digest(Hash::Streebog256, m1)),
              "9d151eefd8590b89daa6ba6cb74af9275dd051026bb149a452fd84e5e57b5500");
    EXPECT_EQ(toHex(digest(Hash::Streebog512, m1)),
              "1b54d01a4af5b9d5cc3d86d68d285462b19abc2475222f35c085122be4ba1ffa"
              "00ad30f8767b3a82384c6574f024c311e2a481332b08ef7f41797891c1646f48");
    EXPECT_EQ(toHex(digest(Hash::R3411_94, bytesOf("This is message, length=32 bytes"))),
              "2cefc2f7b7bdc514e18ea57fa74ff357e7fa17d652c75f69cb1be7893ede48eb");
    EXPECT_EQ(toHex(digest(Hash::R3411_94, bytesOf("message digest"))),
              "bc6041dd2aa401ebfa6e9886734174febdb4729aa972d60f549ac39b29721ba0");
}

TEST(GostDigest, ParameterSetsMapBothWays) {
    for (Hash hash : {Hash::R3411_94, Hash::Streebog256, Hash::Streebog512}) {
        EXPECT_EQ(hashByOid(hashOid(hash)), hash);
        EXPECT_EQ(digest(hash, {}).size(), digestSize(hash));
    }
    EXPECT_EQ(toHex(hashOid(Hash::Streebog512)), "06082a85030701010203");
    EXPECT_FALSE(hashByOid(fromHex("06072a850302021e00")).has_value());
    EXPECT_FALSE(hashByOid({}).has_value());
}

TEST(GostDigest, ConcurrentFirstUseAgrees) {
    const Bytes data = randomBytes(5000, 1);
    const Bytes expected = digest(Hash::Streebog512, data);
    std::vector<std::thread> threads;
    std::vector<Bytes> results(4);
    for (std::size_t i = 0; i < results.size(); ++i) {
        threads.emplace_back([&, i] { results[i] = digest(Hash::Streebog512, data); });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (const auto& result : results) {
        EXPECT_EQ(result, expected);
    }
}

TEST(GostCurves, FoundByOidAndName) {
    EXPECT_STREQ(curve("06072a850302022301").gcryptName, "GOST2001-CryptoPro-A");
    EXPECT_STREQ(curve("06092a8503070102010101").gcryptName, "GOST2012-256-A");
    EXPECT_EQ(curve("06092a8503070102010202").size, 64u);
    EXPECT_EQ(curveByOid(fromHex("06092a8503070102010209")), nullptr);
    EXPECT_EQ(curveByOid(fromHex("06072a8503020223")), nullptr);
    ASSERT_NE(curveByName("GOST2001-CryptoPro-A"), nullptr);
    EXPECT_EQ(toHex(curveByName("GOST2001-CryptoPro-A")->oidDer), "06072a850302022301");
    EXPECT_EQ(curveByName("P-256"), nullptr);
}

TEST(GostSignature, RfcExampleKeyAndSignature) {
    const Curve& test = curve("06072a850302022300");
    EXPECT_EQ(publicValueOf(test, kRfcPrivate), kRfcPublic);
    EXPECT_TRUE(verify(test, kRfcPublic, kRfcDigest, kRfcSignature));

    // Any changed bit of the digest, of s or of r breaks it; s and r swapped break it.
    Bytes digestChanged = kRfcDigest;
    digestChanged[0] ^= 1;
    EXPECT_FALSE(verify(test, kRfcPublic, digestChanged, kRfcSignature));
    for (std::size_t at : {std::size_t{0}, std::size_t{31}, std::size_t{32}, std::size_t{63}}) {
        Bytes signature = kRfcSignature;
        signature[at] ^= 0x10;
        EXPECT_FALSE(verify(test, kRfcPublic, kRfcDigest, signature)) << "byte " << at;
    }
    Bytes swapped(kRfcSignature.begin() + 32, kRfcSignature.end());
    swapped.insert(swapped.end(), kRfcSignature.begin(), kRfcSignature.begin() + 32);
    EXPECT_FALSE(verify(test, kRfcPublic, kRfcDigest, swapped));

    // A fresh signature by the same key verifies, and differs (random nonce).
    const Bytes signature = sign(test, kRfcPrivate, kRfcDigest);
    EXPECT_TRUE(verify(test, kRfcPublic, kRfcDigest, signature));
    EXPECT_NE(signature, kRfcSignature);
}

TEST(GostSignature, EveryCurveSignsAndVerifies) {
    unsigned seed = 10;
    for (const Curve& each : curves()) {
        SCOPED_TRACE(each.gcryptName);
        const KeyPair pair = generateKeyPair(each);
        ASSERT_EQ(pair.privateValue.size(), each.size);
        ASSERT_EQ(pair.publicValue.size(), 2 * each.size);
        EXPECT_EQ(publicValueOf(each, pair.privateValue), pair.publicValue);
        // Digests above the group order and the zero digest (taken as 1) sign too.
        for (const Bytes& message :
             {randomBytes(each.size, ++seed), Bytes(each.size, 0xFF), Bytes(each.size, 0)}) {
            const Bytes signature = sign(each, pair.privateValue, message);
            ASSERT_EQ(signature.size(), 2 * each.size);
            EXPECT_TRUE(verify(each, pair.publicValue, message, signature));
            Bytes other = message;
            other[each.size - 1] ^= 0x80;
            EXPECT_FALSE(verify(each, pair.publicValue, other, signature));
        }
    }
}

TEST(GostSignature, OutOfRangeValuesAreRefused) {
    const Curve& test = curve("06072a850302022300");
    const Curve& big = curve("06092a8503070102010201");
    // Sizes that do not fit the curve.
    EXPECT_THROW(sign(test, kRfcPrivate, Bytes(64, 1)), std::invalid_argument);
    EXPECT_THROW(sign(big, kRfcPrivate, Bytes(64, 1)), std::invalid_argument);
    EXPECT_THROW(verify(test, kRfcPublic, kRfcDigest, Bytes(63, 1)), std::invalid_argument);
    EXPECT_THROW(verify(test, kRfcPublic, Bytes(31, 1), kRfcSignature), std::invalid_argument);
    EXPECT_THROW(verify(test, Bytes(63, 1), kRfcDigest, kRfcSignature), std::invalid_argument);
    // A private value of zero or at least the group order is no key.
    EXPECT_THROW(publicValueOf(test, Bytes(32, 0)), std::invalid_argument);
    EXPECT_THROW(publicValueOf(test, Bytes(32, 0xFF)), std::invalid_argument);
    // r = 0 or s = 0 never verifies.
    Bytes zeroR = kRfcSignature;
    std::fill(zeroR.begin() + 32, zeroR.end(), 0);
    EXPECT_FALSE(verify(test, kRfcPublic, kRfcDigest, zeroR));
    EXPECT_FALSE(verify(test, kRfcPublic, kRfcDigest, Bytes(64, 0)));
}

TEST(GostCipher, KnownAnswerAndRoundTrip) {
    EXPECT_EQ(toHex(encrypted(Bytes(8, 0))), "668184aedc48c917");
    EXPECT_EQ(encrypted(Bytes(8, 0), kCryptoProA), encrypted(Bytes(8, 0)));
    EXPECT_NE(encrypted(Bytes(8, 0), kTestSbox), encrypted(Bytes(8, 0)));

    // Lengths around the 1024-byte meshing boundary and not a multiple of the block.
    for (std::size_t size : {std::size_t{1}, std::size_t{1023}, std::size_t{1024},
                             std::size_t{1025}, std::size_t{4099}}) {
        SCOPED_TRACE(size);
        const Bytes plain = randomBytes(size, static_cast<unsigned>(size));
        const Bytes cipher = encrypted(plain);
        ASSERT_EQ(cipher.size(), size);
        Bytes back(size);
        cfb(false, kCipherKey, kCipherIv, {}, cipher.data(), back.data(), size);
        EXPECT_EQ(back, plain);
        // In place gives the same bytes.
        Bytes inPlace = plain;
        cfb(true, kCipherKey, kCipherIv, {}, inPlace.data(), inPlace.data(), size);
        EXPECT_EQ(inPlace, cipher);
        // The prefix does not depend on what follows.
        EXPECT_EQ(Bytes(cipher.begin(), cipher.begin() + static_cast<long>(size / 2)),
                  encrypted(Bytes(plain.begin(), plain.begin() + static_cast<long>(size / 2))));
    }
}

TEST(GostCipher, MeshingChangesTheKeyAfter1024Bytes) {
    // Two 1024-byte halves of equal plain text encrypt differently even when the second half
    // starts from the feedback the first half ends with: the key changed at the boundary.
    const Bytes plain = randomBytes(2048, 7);
    const Bytes cipher = encrypted(plain);
    const Bytes lastBlock(cipher.begin() + 1016, cipher.begin() + 1024);
    Bytes secondHalf(1024);
    cfb(true, kCipherKey, lastBlock, {}, plain.data() + 1024, secondHalf.data(), 1024);
    EXPECT_NE(secondHalf, Bytes(cipher.begin() + 1024, cipher.end()));
}

TEST(GostCipher, BadParametersAreRefused) {
    Bytes buffer(16);
    EXPECT_THROW(cfb(true, Bytes(31), kCipherIv, {}, buffer.data(), buffer.data(), 16),
                 std::invalid_argument);
    EXPECT_THROW(cfb(true, kCipherKey, Bytes(16), {}, buffer.data(), buffer.data(), 16),
                 std::invalid_argument);
    EXPECT_THROW(
        cfb(true, kCipherKey, kCipherIv, fromHex("0407"), buffer.data(), buffer.data(), 16),
        std::invalid_argument);
    EXPECT_THROW(cfb(true, kCipherKey, kCipherIv, fromHex("06072a850302021f"), buffer.data(),
                     buffer.data(), 16),
                 std::invalid_argument);
    // A well-formed OID that names no S-box.
    EXPECT_THROW(cfb(true, kCipherKey, kCipherIv, fromHex("06072a850302021f09"), buffer.data(),
                     buffer.data(), 16),
                 CryptoError);
    // Zero bytes are fine.
    EXPECT_NO_THROW(cfb(true, kCipherKey, kCipherIv, {}, buffer.data(), buffer.data(), 0));
}
