// The cryptographic operations against the software token: results, log lines, and the
// size query's odd answers.
#include "EmulatorFixture.h"
#include "ModuleTestAccess.h"
#include "emulator/core/Journal.h"
#include "emulator/crypto/Gost.h"
#include "token/Exception.h"
#include "token/Mechanisms.h"
#include "token/Pkcs11Module.h"

#include <gmock/gmock.h>

using testing::ElementsAre;
using testing::ElementsAreArray;

namespace {

using OperationsTest = EmulatorTest;

const Bytes kData = {'f', 'i', 'l', 'e', ' ', 'b', 'y', 't', 'e', 's', '\n'};

const std::vector<std::string> kDigestLines = {"C_DigestInit -> CKR_OK", "C_Digest -> CKR_OK",
                                               "C_Digest -> CKR_OK"};

std::vector<std::string> join(std::vector<std::string> first,
                              const std::vector<std::string>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

TEST_F(OperationsTest, DigestsAreTheTokensForEachMechanism) {
    Token& token = startLoggedIn();
    const Bytes r94 = token.digest(kData, CKM_GOSTR3411);
    EXPECT_EQ(r94, gost::digest(gost::Hash::R3411_94, kData));
    EXPECT_EQ(token.digest(kData, CKM_GOSTR3411_12_256),
              gost::digest(gost::Hash::Streebog256, kData));
    EXPECT_EQ(token.digest(kData, CKM_GOSTR3411_12_512),
              gost::digest(gost::Hash::Streebog512, kData));
    EXPECT_EQ(token.digest({}, CKM_GOSTR3411_12_256), gost::digest(gost::Hash::Streebog256, {}));
    std::vector<std::string> expected;
    for (int i = 0; i < 4; ++i) {
        expected = join(expected, kDigestLines);
    }
    EXPECT_THAT(journal.lines(), ElementsAreArray(expected));
}

TEST_F(OperationsTest, EachKeySignsAndVerifiesWithItsMechanismPair) {
    Token& token = startLoggedIn();
    const KeyList<PrivateKey> privateKeys = token.getPrivateKeys();
    const KeyList<PublicKey> publicKeys = token.getPublicKeys();
    ASSERT_EQ(privateKeys.size(), publicKeys.size());
    for (std::size_t i = 0; i < privateKeys.size(); ++i) {
        const token::MechanismPair pair = token::mechanismsFor(privateKeys[i].getAlgorithm());
        journal.clear();
        const Bytes signature = token.sign(privateKeys[i], kData, pair.digest, pair.signature);
        EXPECT_EQ(signature.size(), privateKeys[i].getBits() / 4u);
        EXPECT_THAT(
            journal.lines(),
            ElementsAreArray(join(kDigestLines, okLines({"C_SignInit", "C_Sign", "C_Sign"}))));

        journal.clear();
        EXPECT_TRUE(token.verify(publicKeys[i], kData, signature, pair.digest, pair.signature));
        EXPECT_THAT(journal.lines(),
                    ElementsAreArray(join(kDigestLines, okLines({"C_VerifyInit", "C_Verify"}))));

        journal.clear();
        Bytes changed = kData;
        changed[0] ^= 1;
        EXPECT_FALSE(token.verify(publicKeys[i], changed, signature, pair.digest, pair.signature));
        EXPECT_EQ(journal.lines().back(), "C_Verify -> CKR_SIGNATURE_INVALID");
    }
}

TEST_F(OperationsTest, ASignatureOfTheWrongLengthIsAnErrorNotAVerdict) {
    Token& token = startLoggedIn();
    const PublicKey key = token.getPublicKeys().at(0);
    try {
        token.verify(key, kData, Bytes(10, 1), CKM_GOSTR3411, CKM_GOSTR3410);
        FAIL() << "verified";
    } catch (const Pkcs11Exception& e) {
        EXPECT_EQ(e.code(), CKR_SIGNATURE_LEN_RANGE);
    }
    EXPECT_EQ(journal.lines().back(), "C_Verify -> CKR_SIGNATURE_LEN_RANGE");
}

TEST_F(OperationsTest, AnInvalidSignatureCodeFromVerifyInitPropagates) {
    emulator::State state = demo();
    state.faults = nlohmann::json::parse(R"([{"function": "C_VerifyInit", "rv": 192}])");
    Token& token = startLoggedIn(state);
    const PublicKey key = token.getPublicKeys().at(0);
    EXPECT_THROW(token.verifyDigest(key, Bytes(32, 1), Bytes(64, 1), CKM_GOSTR3410),
                 Pkcs11Exception);
}

TEST_F(OperationsTest, AFailingFirstDigestStopsSigningThere) {
    emulator::State state = demo();
    state.faults = nlohmann::json::parse(R"([{"function": "C_Digest", "call": 1, "rv": 48}])");
    Token& token = startLoggedIn(state);
    const PrivateKey key = token.getPrivateKeys().at(0);
    journal.clear();
    EXPECT_THROW(token.sign(key, kData, CKM_GOSTR3411, CKM_GOSTR3410), Pkcs11Exception);
    EXPECT_THAT(journal.lines(),
                ElementsAre("C_DigestInit -> CKR_OK", "C_Digest -> CKR_DEVICE_ERROR"));
}

TEST_F(OperationsTest, EncryptionRoundTripsWithoutHeaderOrIv) {
    Token& token = startLoggedIn();
    const KeyList<SecretKey> keys = token.getSecretKeys();
    ASSERT_EQ(keys.size(), 2u);
    Bytes plain(1000);
    for (std::size_t i = 0; i < plain.size(); ++i) {
        plain[i] = static_cast<unsigned char>(i * 7);
    }
    journal.clear();
    const Bytes encrypted = token.encrypt(keys[0], plain);
    EXPECT_EQ(encrypted.size(), plain.size());
    EXPECT_NE(encrypted, plain);
    EXPECT_EQ(token.decrypt(keys[0], encrypted), plain);
    EXPECT_NE(token.decrypt(keys[1], encrypted), plain);
    EXPECT_THAT(journal.lines(),
                ElementsAreArray(okLines({"C_EncryptInit", "C_Encrypt", "C_Encrypt",
                                          "C_DecryptInit", "C_Decrypt", "C_Decrypt",
                                          "C_DecryptInit", "C_Decrypt", "C_Decrypt"})));
}

TEST_F(OperationsTest, InvisibleSigningUsesTheExtensionsAndIsJournalled) {
    emulator::State state = demo();
    tokenOf(state).model = "Veltora Lumora 2";
    Token& token = startLoggedIn(state);
    // The first key carries the journal flag: its signatures are recorded.
    const PrivateKey key = token.getPrivateKeys().at(0);
    const PublicKey publicKey = token.getPublicKeys().at(0);
    journal.clear();
    const Bytes signature = token.signInvisible(key, kData, CKM_GOSTR3411, CKM_GOSTR3410);
    EXPECT_THAT(
        journal.lines(),
        ElementsAreArray(join(kDigestLines, okLines({"C_EX_SignInvisibleInit", "C_EX_SignInvisible",
                                                     "C_EX_SignInvisible"}))));
    EXPECT_TRUE(token.verify(publicKey, kData, signature, CKM_GOSTR3411, CKM_GOSTR3410));

    journal.clear();
    const Bytes records = token.getJournal();
    EXPECT_FALSE(records.empty());
    EXPECT_THAT(journal.lines(), ElementsAreArray(okLines({"C_EX_GetJournal", "C_EX_GetJournal"})));
}

// The output pointers the replaced entry was given.
std::vector<bool> nullOutputs;
ExtendedFunctionList moduleExtended;
CK_FUNCTION_LIST moduleList;

CK_RV recordJournal(CK_SLOT_ID slot, CK_BYTE_PTR journal, CK_ULONG_PTR length) {
    nullOutputs.push_back(journal == nullptr);
    return moduleExtended.C_EX_GetJournal(slot, journal, length);
}

TEST_F(OperationsTest, AnEmptyAnswerIsAnEmptyResultAndNoBuffer) {
    Token& token = startLoggedIn();
    ListOverride lists(*moduleBinding());
    moduleExtended = lists.originalExtended();
    lists.extended.C_EX_GetJournal = &recordJournal;
    nullOutputs.clear();
    EXPECT_TRUE(token.getJournal().empty());
    EXPECT_THAT(nullOutputs, ElementsAre(true, true));
}

TEST_F(OperationsTest, ZeroLengthAndOverstatedQueriesGiveExactlyTheReportedBytes) {
    emulator::State state = demo();
    state.faults = nlohmann::json::parse(R"([{"function": "C_Digest", "kind": "zeroLength"}])");
    EXPECT_TRUE(startLoggedIn(state).digest(kData, CKM_GOSTR3411).empty());
    finalizeToken();

    // The journal has no fixed size, so its size query may answer with an upper bound.
    state.faults =
        nlohmann::json::parse(R"([{"function": "C_EX_GetJournal", "kind": "overstate", "by": 4}])");
    Token& token = startLoggedIn(state);
    const PrivateKey journalled = token.getPrivateKeys().at(0);
    ASSERT_TRUE(journalled.hasJournalFlag());
    token.sign(journalled, kData, CKM_GOSTR3411, CKM_GOSTR3410);
    emulator::State saved = readState();
    const Bytes records = emulator::encodeJournal(tokenOf(saved).journal);
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(token.getJournal(), records);
}

// Size queries that answer more than the call can produce: the digest or signature size of
// the mechanism, the input's length for the cipher, the journal's bound. Each is refused before
// a buffer of that size is made, so the output call is made once only; the bound itself is
// taken.
CK_ULONG answeredLength = 0;
int outputCalls = 0;
CK_RV answerLength(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG_PTR length) {
    ++outputCalls;
    *length = answeredLength;
    return CKR_OK;
}
CK_RV answerJournalLength(CK_SLOT_ID, CK_BYTE_PTR, CK_ULONG_PTR length) {
    ++outputCalls;
    *length = answeredLength;
    return CKR_OK;
}

struct SizeQuery {
    const char* name;
    std::size_t largest;
    void (*install)(ListOverride& lists);
    void (*run)(Token& token);
};

void PrintTo(const SizeQuery& query, std::ostream* out) {
    *out << query.name;
}

class SizeQueryTest : public EmulatorTest, public testing::WithParamInterface<SizeQuery> {};

TEST_P(SizeQueryTest, ALengthAboveWhatTheCallProducesIsRefusedBeforeAllocating) {
    emulator::State state = demo();
    tokenOf(state).model = "Veltora Lumora 2"; // for the invisible signature
    const SizeQuery& query = GetParam();
    for (const CK_ULONG length :
         {CK_ULONG(query.largest), CK_ULONG(query.largest + 1), CK_ULONG{0xFFFFFFFEUL}}) {
        SCOPED_TRACE(length);
        Token& token = startLoggedIn(state);
        {
            ListOverride lists(*moduleBinding());
            query.install(lists);
            answeredLength = length;
            outputCalls = 0;
            if (length == query.largest) {
                EXPECT_NO_THROW(query.run(token));
                EXPECT_EQ(outputCalls, 2);
            } else {
                EXPECT_THROW(query.run(token), ModuleAnswerException);
                EXPECT_EQ(outputCalls, 1);
            }
        }
        finalizeToken();
    }
}

const Bytes kCipherInput(1000, 0x33);

INSTANTIATE_TEST_SUITE_P(
    Operations, SizeQueryTest,
    testing::Values(
        SizeQuery{"Digest94", 32,
                  [](ListOverride& lists) { lists.standard.C_Digest = &answerLength; },
                  [](Token& token) { token.digest(kData, CKM_GOSTR3411); }},
        SizeQuery{"Digest512", 64,
                  [](ListOverride& lists) { lists.standard.C_Digest = &answerLength; },
                  [](Token& token) { token.digest(kData, CKM_GOSTR3411_12_512); }},
        SizeQuery{"Signature256", 64,
                  [](ListOverride& lists) { lists.standard.C_Sign = &answerLength; },
                  [](Token& token) {
                      token.sign(token.getPrivateKeys().at(0), kData, CKM_GOSTR3411, CKM_GOSTR3410);
                  }},
        SizeQuery{"Signature512", 128,
                  [](ListOverride& lists) { lists.standard.C_Sign = &answerLength; },
                  [](Token& token) {
                      token.sign(token.getPrivateKeys().at(2), kData, CKM_GOSTR3411_12_512,
                                 CKM_GOSTR3410_512);
                  }},
        SizeQuery{"InvisibleSignature", 64,
                  [](ListOverride& lists) { lists.extended.C_EX_SignInvisible = &answerLength; },
                  [](Token& token) {
                      token.signInvisible(token.getPrivateKeys().at(1), kData, CKM_GOSTR3411_12_256,
                                          CKM_GOSTR3410);
                  }},
        SizeQuery{"Encryption", 1000,
                  [](ListOverride& lists) { lists.standard.C_Encrypt = &answerLength; },
                  [](Token& token) { token.encrypt(token.getSecretKeys().at(0), kCipherInput); }},
        SizeQuery{"Decryption", 1000,
                  [](ListOverride& lists) { lists.standard.C_Decrypt = &answerLength; },
                  [](Token& token) { token.decrypt(token.getSecretKeys().at(0), kCipherInput); }},
        SizeQuery{
            "Journal", 16 * 1024 * 1024,
            [](ListOverride& lists) { lists.extended.C_EX_GetJournal = &answerJournalLength; },
            [](Token& token) { token.getJournal(); }}),
    [](const testing::TestParamInfo<SizeQuery>& row) { return std::string(row.param.name); });

int digestCalls = 0;
CK_RV reportMore(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG dataLength,
                 CK_BYTE_PTR digest, CK_ULONG_PTR digestLength) {
    const CK_RV rv = moduleList.C_Digest(session, data, dataLength, digest, digestLength);
    if (++digestCalls == 2) {
        *digestLength += 1;
    }
    return rv;
}

TEST_F(OperationsTest, ALongerSecondAnswerIsAModuleFault) {
    Token& token = startLoggedIn();
    ListOverride lists(*moduleBinding());
    moduleList = lists.original();
    lists.standard.C_Digest = &reportMore;
    digestCalls = 0;
    try {
        token.digest(kData, CKM_GOSTR3411);
        FAIL() << "digested";
    } catch (const ModuleAnswerException& e) {
        EXPECT_STREQ(e.whatRu(), "Модуль токена вернул некорректный ответ");
    }
}

} // namespace
