// Digest, sign, verify, encrypt and decrypt, with the size-query rules.
#include "emulator/crypto/Gost.h"
#include "tests/emulator/Harness.h"

namespace {

class OperationTest : public ModuleTest {
protected:
    CK_SESSION_HANDLE loggedIn() {
        startStandard();
        const CK_SESSION_HANDLE session = openSession();
        EXPECT_EQ(login(session, "12345678"), CKR_OK);
        return session;
    }

    Bytes digest(CK_SESSION_HANDLE session, CK_MECHANISM_TYPE type, Bytes data) {
        CK_MECHANISM mechanism{type, nullptr, 0};
        EXPECT_EQ(p11_->C_DigestInit(session, &mechanism), CKR_OK);
        CK_ULONG length = 0;
        EXPECT_EQ(p11_->C_Digest(session, data.data(), data.size(), nullptr, &length), CKR_OK);
        Bytes out(length);
        EXPECT_EQ(p11_->C_Digest(session, data.data(), data.size(), out.data(), &length), CKR_OK);
        return out;
    }

    CK_RV sign(CK_SESSION_HANDLE session, CK_MECHANISM_TYPE type, CK_OBJECT_HANDLE key,
               Bytes digest, Bytes& signature) {
        CK_MECHANISM mechanism{type, nullptr, 0};
        if (const CK_RV rv = p11_->C_SignInit(session, &mechanism, key); rv != CKR_OK) {
            return rv;
        }
        CK_ULONG length = 0;
        if (const CK_RV rv = p11_->C_Sign(session, digest.data(), digest.size(), nullptr, &length);
            rv != CKR_OK) {
            return rv;
        }
        signature.assign(length, 0);
        return p11_->C_Sign(session, digest.data(), digest.size(), signature.data(), &length);
    }

    CK_RV verify(CK_SESSION_HANDLE session, CK_MECHANISM_TYPE type, CK_OBJECT_HANDLE key,
                 Bytes digest, Bytes signature) {
        CK_MECHANISM mechanism{type, nullptr, 0};
        if (const CK_RV rv = p11_->C_VerifyInit(session, &mechanism, key); rv != CKR_OK) {
            return rv;
        }
        return p11_->C_Verify(session, digest.data(), digest.size(), signature.data(),
                              signature.size());
    }

    Bytes cipher(bool encrypt, CK_SESSION_HANDLE session, CK_OBJECT_HANDLE key, Bytes data,
                 Bytes iv) {
        CK_MECHANISM mechanism{CKM_GOST28147, iv.data(), static_cast<CK_ULONG>(iv.size())};
        const auto init = encrypt ? p11_->C_EncryptInit : p11_->C_DecryptInit;
        const auto run = encrypt ? p11_->C_Encrypt : p11_->C_Decrypt;
        EXPECT_EQ(init(session, &mechanism, key), CKR_OK);
        CK_ULONG length = 0;
        EXPECT_EQ(run(session, data.data(), data.size(), nullptr, &length), CKR_OK);
        Bytes out(length);
        EXPECT_EQ(run(session, data.data(), data.size(), out.data(), &length), CKR_OK);
        return out;
    }
};

TEST_F(OperationTest, DigestsEqualTheKnownAnswers) {
    const CK_SESSION_HANDLE session = loggedIn();
    const std::string m1 = "012345678901234567890123456789012345678901234567890123456789012";
    EXPECT_EQ(digest(session, CKM_GOSTR3411_12_256, Bytes(m1.begin(), m1.end())),
              hexBytes("9d151eefd8590b89daa6ba6cb74af9275dd051026bb149a452fd84e5e57b5500"));
    EXPECT_EQ(digest(session, CKM_GOSTR3411_12_512, Bytes(m1.begin(), m1.end())).size(), 64U);
    const std::string message = "message digest";
    EXPECT_EQ(digest(session, CKM_GOSTR3411, Bytes(message.begin(), message.end())),
              hexBytes("bc6041dd2aa401ebfa6e9886734174febdb4729aa972d60f549ac39b29721ba0"));
}

TEST_F(OperationTest, SizeQueriesShortBuffersAndOperationState) {
    const CK_SESSION_HANDLE session = loggedIn();
    CK_BYTE data[3] = {1, 2, 3};
    CK_BYTE out[64];
    CK_ULONG length = sizeof out;
    EXPECT_EQ(p11_->C_Digest(session, data, 3, out, &length), CKR_OPERATION_NOT_INITIALIZED);
    CK_MECHANISM mechanism{CKM_GOSTR3411_12_256, nullptr, 0};
    CK_MECHANISM bad{CKM_GOSTR3410, nullptr, 0};
    EXPECT_EQ(p11_->C_DigestInit(session, &bad), CKR_MECHANISM_INVALID);
    ASSERT_EQ(p11_->C_DigestInit(session, &mechanism), CKR_OK);
    EXPECT_EQ(p11_->C_DigestInit(session, &mechanism), CKR_OPERATION_ACTIVE);
    length = 0;
    ASSERT_EQ(p11_->C_Digest(session, data, 3, nullptr, &length), CKR_OK);
    EXPECT_EQ(length, 32U);
    length = 31;
    EXPECT_EQ(p11_->C_Digest(session, data, 3, out, &length), CKR_BUFFER_TOO_SMALL);
    EXPECT_EQ(length, 32U);
    // Still active after a short buffer; ended by the successful call.
    length = sizeof out;
    ASSERT_EQ(p11_->C_Digest(session, data, 3, out, &length), CKR_OK);
    EXPECT_EQ(length, 32U);
    EXPECT_EQ(p11_->C_Digest(session, data, 3, out, &length), CKR_OPERATION_NOT_INITIALIZED);
    // Any other failure ends the operation too.
    ASSERT_EQ(p11_->C_DigestInit(session, &mechanism), CKR_OK);
    EXPECT_EQ(p11_->C_Digest(session, nullptr, 3, out, &length), CKR_ARGUMENTS_BAD);
    EXPECT_EQ(p11_->C_DigestInit(session, &mechanism), CKR_OK);
}

TEST_F(OperationTest, SignaturesOfEveryKindVerify) {
    const CK_SESSION_HANDLE session = loggedIn();
    struct Kind {
        CK_MECHANISM_TYPE digest, signature;
        CK_OBJECT_HANDLE privateKey, publicKey;
    };
    for (const Kind kind :
         {Kind{CKM_GOSTR3411, CKM_GOSTR3410, 1, 2}, Kind{CKM_GOSTR3411_12_256, CKM_GOSTR3410, 3, 4},
          Kind{CKM_GOSTR3411_12_512, CKM_GOSTR3410_512, 5, 6}}) {
        const Bytes hash = digest(session, kind.digest, {'d', 'a', 't', 'a'});
        Bytes signature;
        ASSERT_EQ(sign(session, kind.signature, kind.privateKey, hash, signature), CKR_OK);
        EXPECT_EQ(signature.size(), 2 * hash.size());
        EXPECT_EQ(verify(session, kind.signature, kind.publicKey, hash, signature), CKR_OK);
        Bytes changed = hash;
        changed.at(0) ^= 1;
        EXPECT_EQ(verify(session, kind.signature, kind.publicKey, changed, signature),
                  CKR_SIGNATURE_INVALID);
        signature.pop_back();
        EXPECT_EQ(verify(session, kind.signature, kind.publicKey, hash, signature),
                  CKR_SIGNATURE_LEN_RANGE);
        EXPECT_EQ(verify(session, kind.signature, kind.publicKey, Bytes(hash.size() + 1),
                         Bytes(2 * hash.size())),
                  CKR_DATA_LEN_RANGE);
    }
}

TEST_F(OperationTest, KeysOfTheWrongKindAndLengthsAreRefused) {
    startStandard();
    const CK_SESSION_HANDLE session = openSession();
    Bytes signature;
    EXPECT_EQ(sign(session, CKM_GOSTR3410, 1, Bytes(32), signature), CKR_USER_NOT_LOGGED_IN);
    ASSERT_EQ(login(session, "12345678"), CKR_OK);
    EXPECT_EQ(sign(session, CKM_GOSTR3410, 5, Bytes(32), signature), CKR_KEY_TYPE_INCONSISTENT);
    EXPECT_EQ(sign(session, CKM_GOSTR3410_512, 1, Bytes(64), signature), CKR_KEY_TYPE_INCONSISTENT);
    EXPECT_EQ(sign(session, CKM_GOSTR3410, 2, Bytes(32), signature),
              CKR_KEY_FUNCTION_NOT_PERMITTED);
    EXPECT_EQ(sign(session, CKM_GOSTR3410, 42, Bytes(32), signature), CKR_KEY_HANDLE_INVALID);
    EXPECT_EQ(verify(session, CKM_GOSTR3410, 1, Bytes(32), Bytes(64)),
              CKR_KEY_FUNCTION_NOT_PERMITTED);
    EXPECT_EQ(sign(session, CKM_GOSTR3410, 1, Bytes(64), signature), CKR_DATA_LEN_RANGE);
    // The failed C_Sign ended the operation.
    CK_BYTE digest[32] = {};
    CK_ULONG length = 0;
    EXPECT_EQ(p11_->C_Sign(session, digest, 32, nullptr, &length), CKR_OPERATION_NOT_INITIALIZED);
}

TEST_F(OperationTest, VerifiesTheRfc7091Example) {
    emulator::TokenState token = standardToken();
    emulator::KeyObject key = token.objects[1];
    key.handle = 20;
    key.gostr3410Params = hexBytes("06072a850302022300");
    key.value = hexBytes("0bd86fe5d8db89668f789b4e1dba8585c5508b45ec5b59d8906ddb70e2492b7f"
                         "da77ff871a10fbdf2766d293c5d164afbb3c7b973a41c885d11d70d689b4f126");
    token.objects.push_back(key);
    start(token);
    const CK_SESSION_HANDLE session = openSession();
    const Bytes digest =
        hexBytes("e53e042b67e6ec678e2e02b12a0352ce1fc6eee0529cc088119ad872b3c1fb2d");
    const Bytes signature =
        hexBytes("01456c64ba4642a1653c235a98a60249bcd6d3f746b631df928014f6c5bf9c40"
                 "41aa28d2f1ab148280cd9ed56feda41974053554a42767b83ad043fd39dc0493");
    EXPECT_EQ(verify(session, CKM_GOSTR3410, 20, digest, signature), CKR_OK);
}

TEST_F(OperationTest, EncryptionEqualsTheKnownAnswerAndDecryptsBack) {
    emulator::TokenState token = standardToken();
    token.objects[6].value =
        hexBytes("8182838485868788898a8b8c8d8e8f80d1d2d3d4d5d6d7d8d9dadbdcdddedfd0");
    start(token);
    const CK_SESSION_HANDLE session = openSession();
    ASSERT_EQ(login(session, "12345678"), CKR_OK);
    const Bytes iv = hexBytes("0102030405060708");
    EXPECT_EQ(cipher(true, session, 7, Bytes(8), iv), hexBytes("668184aedc48c917"));

    Bytes data(3000);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<unsigned char>(i * 7);
    }
    const Bytes encrypted = cipher(true, session, 7, data, iv);
    EXPECT_EQ(encrypted.size(), data.size());
    EXPECT_EQ(cipher(false, session, 7, encrypted, iv), data);
    EXPECT_NE(cipher(false, session, 8, encrypted, iv), data);

    CK_MECHANISM noIv{CKM_GOST28147, nullptr, 0};
    EXPECT_EQ(p11_->C_EncryptInit(session, &noIv, 7), CKR_MECHANISM_PARAM_INVALID);
    CK_MECHANISM withIv{CKM_GOST28147, const_cast<unsigned char*>(iv.data()),
                        static_cast<CK_ULONG>(iv.size())};
    EXPECT_EQ(p11_->C_EncryptInit(session, &withIv, 1), CKR_KEY_FUNCTION_NOT_PERMITTED);
}

} // namespace
