// Starting and ending the token session against the software token.
#include "EmulatorFixture.h"
#include "ModuleTestAccess.h"
#include "token/Exception.h"
#include "token/Pkcs11Module.h"

#include <gmock/gmock.h>
#include <stdexcept>

using testing::ElementsAreArray;

namespace {

using SessionTest = EmulatorTest;

const std::vector<std::string> kStartLines = {
    "C_GetFunctionList -> CKR_OK", "C_EX_GetFunctionListExtended -> CKR_OK",
    "C_Initialize -> CKR_OK",      "C_GetSlotList -> CKR_OK",
    "C_GetTokenInfo -> CKR_OK",    "C_EX_GetTokenInfoExtended -> CKR_OK",
    "C_OpenSession -> CKR_OK",
};

// The lines up to a failure at C_GetSlotList or later, then C_Finalize.
std::vector<std::string> startLinesUpTo(std::size_t count, const std::string& last) {
    std::vector<std::string> lines(kStartLines.begin(), kStartLines.begin() + count);
    if (!last.empty()) {
        lines.push_back(last);
    }
    lines.push_back("C_Finalize -> CKR_OK");
    return lines;
}

TEST_F(SessionTest, ANormalStartReadsTheTokensIdentityAndEndsCleanly) {
    Token& token = start();
    EXPECT_THAT(journal.lines(), ElementsAreArray(kStartLines));
    EXPECT_EQ(Token::instance(), &token);
    EXPECT_EQ(token.getSerialNumber(), "1A2B3C4D");
    EXPECT_EQ(token.getLabel(), "Демо-токен");
    EXPECT_EQ(token.getChecksum(), 0x5A3C96E1u);
    EXPECT_FALSE(token.isChecksumInvalid());
    EXPECT_FALSE(token.hasScreen());
    EXPECT_TRUE(moduleLoaded());

    journal.clear();
    finalizeToken();
    EXPECT_THAT(journal.lines(), ElementsAreArray(okLines({"C_CloseSession", "C_Finalize"})));
    EXPECT_EQ(Token::instance(), nullptr);
    EXPECT_EQ(moduleBinding(), nullptr);
    EXPECT_FALSE(moduleLoaded());
}

TEST_F(SessionTest, NoTokenFinalisesAndUnloads) {
    emulator::State state = demo();
    state.slots.at(0).reset();
    EXPECT_THROW(start(state), NoTokenException);
    EXPECT_THAT(journal.lines(), ElementsAreArray(startLinesUpTo(4, "")));
    EXPECT_EQ(Token::instance(), nullptr);
    EXPECT_EQ(moduleBinding(), nullptr);
    EXPECT_FALSE(moduleLoaded());
}

TEST_F(SessionTest, TwoTokensAreRefusedAfterTheSlotListLine) {
    emulator::State state = demo();
    state.slots.push_back(state.slots.at(0));
    EXPECT_THROW(start(state), ManyTokenException);
    EXPECT_THAT(journal.lines(),
                ElementsAreArray(startLinesUpTo(3, "C_GetSlotList -> CKR_BUFFER_TOO_SMALL")));
    EXPECT_FALSE(moduleLoaded());
}

TEST_F(SessionTest, OnlySupportedModelsWithFirmwareMinorTwoAreAccepted) {
    emulator::State screen = demo();
    tokenOf(screen).model = "Veltora Lumora 2";
    EXPECT_TRUE(start(screen).hasScreen());
    finalizeToken();

    emulator::State embedded = demo();
    tokenOf(embedded).model = "XVeltora QRD 7";
    tokenOf(embedded).firmwareMajor = 3;
    EXPECT_FALSE(start(embedded).hasScreen());
    finalizeToken();

    emulator::State other = demo();
    tokenOf(other).model = "Veltora Lumora";
    journal.clear();
    EXPECT_THROW(start(other), NoTokenException);
    EXPECT_THAT(journal.lines(), ElementsAreArray(startLinesUpTo(6, "")));
    EXPECT_FALSE(moduleLoaded());

    emulator::State firmware = demo();
    tokenOf(firmware).firmwareMajor = 2;
    tokenOf(firmware).firmwareMinor = 0;
    EXPECT_THROW(start(firmware), NoTokenException);
    EXPECT_EQ(Token::instance(), nullptr);
    EXPECT_FALSE(moduleLoaded());
}

TEST_F(SessionTest, TheChecksumIsInvalidWhenFlaggedOrTheRecordIsShort) {
    emulator::State flagged = demo();
    tokenOf(flagged).checksumInvalid = true;
    Token& token = start(flagged);
    EXPECT_TRUE(token.isChecksumInvalid());
    EXPECT_EQ(token.getChecksum(), 0x5A3C96E1u);
    finalizeToken();

    Token& shortRecord = start(demo(), nlohmann::json::parse(R"([{"function":
        "C_EX_GetTokenInfoExtended", "kind": "recordSize", "value": 100}])"));
    EXPECT_TRUE(shortRecord.isChecksumInvalid());
    EXPECT_EQ(shortRecord.getChecksum(), 0xFFFFFFFFu);
}

TEST_F(SessionTest, BlankFieldsAreTrimmedToNothing) {
    emulator::State state = demo();
    tokenOf(state).label.assign(32, ' ');
    Token& token = start(state);
    EXPECT_EQ(token.getLabel(), "");
    EXPECT_EQ(token.getSerialNumber(), "1A2B3C4D");
}

TEST_F(SessionTest, AFailingInitializeUnloadsWithoutFinalize) {
    EXPECT_THROW(start(demo(), nlohmann::json::parse(
                                   R"([{"function": "C_Initialize", "rv": "CKR_DEVICE_ERROR"}])")),
                 Pkcs11Exception);
    EXPECT_THAT(journal.lines(),
                ElementsAreArray(std::vector<std::string>{kStartLines[0], kStartLines[1],
                                                          "C_Initialize -> CKR_DEVICE_ERROR"}));
    EXPECT_EQ(moduleBinding(), nullptr);
    EXPECT_FALSE(moduleLoaded());
}

TEST_F(SessionTest, AFailureAfterInitializeKeepsItsExceptionThroughFinalize) {
    try {
        start(demo(), nlohmann::json::parse(R"([{"function": "C_OpenSession", "rv": 177},
                                                {"function": "C_Finalize", "rv": 48}])"));
        FAIL() << "started";
    } catch (const Pkcs11Exception& e) {
        EXPECT_EQ(e.code(), CKR_SESSION_COUNT);
    }
    std::vector<std::string> expected(kStartLines.begin(), kStartLines.end() - 1);
    expected.push_back("C_OpenSession -> CKR_SESSION_COUNT");
    expected.push_back("C_Finalize -> CKR_DEVICE_ERROR");
    EXPECT_THAT(journal.lines(), ElementsAreArray(expected));
    EXPECT_EQ(Token::instance(), nullptr);
    EXPECT_FALSE(moduleLoaded());
}

TEST_F(SessionTest, ListCallFailuresOfTheModuleUnloadIt) {
    try {
        start(demo(), nlohmann::json::parse(
                          R"([{"function": "C_GetFunctionList", "rv": "CKR_GENERAL_ERROR"}])"));
        FAIL() << "started";
    } catch (const Pkcs11Exception& e) {
        EXPECT_EQ(e.code(), 5u);
    }
    EXPECT_THAT(journal.lines(), ElementsAreArray(std::vector<std::string>{
                                     "C_GetFunctionList -> CKR_GENERAL_ERROR"}));
    EXPECT_FALSE(moduleLoaded());

    journal.clear();
    try {
        start(demo(),
              nlohmann::json::parse(
                  R"([{"function": "C_EX_GetFunctionListExtended", "kind": "noPointer"}])"));
        FAIL() << "started";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "C_EX_GetFunctionListExtended returned no function list");
    }
    EXPECT_EQ(journal.lines().size(), 2u);
    EXPECT_EQ(moduleBinding(), nullptr);
    EXPECT_FALSE(moduleLoaded());
}

TEST_F(SessionTest, AWrongPinKeepsNoPinAndTheRightOneIsKeptForChanges) {
    Token& token = start();
    journal.clear();
    try {
        token.login("00000000");
        FAIL() << "logged in";
    } catch (const Pkcs11Exception& e) {
        EXPECT_EQ(e.code(), 0xA0u);
        EXPECT_STREQ(e.whatRu(), "Неправильный PIN-код");
    }
    token.login(kUserPin);
    token.setPin("11112222");
    token.setPin("33334444");
    EXPECT_THAT(journal.lines(), ElementsAreArray(std::vector<std::string>{
                                     "C_Login -> CKR_PIN_INCORRECT", "C_Login -> CKR_OK",
                                     "C_SetPIN -> CKR_OK", "C_SetPIN -> CKR_OK"}));
    emulator::State saved = readState();
    EXPECT_EQ(tokenOf(saved).userPin, "33334444");
}

// The PINs that C_SetPIN receives, caught by a replaced entry.
std::vector<std::string> setPinCalls;
CK_RV recordSetPin(CK_SESSION_HANDLE, CK_UTF8CHAR_PTR oldPin, CK_ULONG oldLength,
                   CK_UTF8CHAR_PTR newPin, CK_ULONG newLength) {
    setPinCalls.emplace_back(reinterpret_cast<const char*>(oldPin), oldLength);
    setPinCalls.emplace_back(reinterpret_cast<const char*>(newPin), newLength);
    return CKR_OK;
}

TEST_F(SessionTest, AFailedLoginLeavesTheKeptPinAsItWas) {
    Token& token = start();
    EXPECT_THROW(token.login("1"), Pkcs11Exception);
    ListOverride lists(*moduleBinding());
    lists.standard.C_SetPIN = &recordSetPin;
    setPinCalls.clear();
    token.setPin("55556666");
    EXPECT_THAT(setPinCalls, ElementsAreArray({"", "55556666"}));
}

TEST_F(SessionTest, ShutDownGoesOnPastAFailingCloseSession) {
    start(demo(), nlohmann::json::parse(R"([{"function": "C_CloseSession", "rv": 177}])"));
    journal.clear();
    EXPECT_NO_THROW(finalizeToken());
    EXPECT_THAT(journal.lines(),
                ElementsAreArray(std::vector<std::string>{"C_CloseSession -> CKR_SESSION_COUNT",
                                                          "C_Finalize -> CKR_OK"}));
    EXPECT_FALSE(moduleLoaded());
}

TEST_F(SessionTest, AFailingFinalizeStillUnloads) {
    start(demo(), nlohmann::json::parse(R"([{"function": "C_Finalize", "rv": 6}])"));
    EXPECT_THROW(finalizeToken(), Pkcs11Exception);
    EXPECT_EQ(Token::instance(), nullptr);
    EXPECT_EQ(moduleBinding(), nullptr);
    EXPECT_FALSE(moduleLoaded());
}

// The log refuses the line of C_CloseSession: C_Finalize still runs, and the log's failure is
// the one the caller sees.
TEST_F(SessionTest, AJournalFailureAtShutDownStillEndsTheSession) {
    start(demo(), nlohmann::json::parse(R"([{"function": "C_Finalize", "rv": 6}])"));
    journal.clear();
    journal.list().failNextAppend(LogListControl::kNoSpace);
    try {
        finalizeToken();
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Insufficient space to write log");
    }
    EXPECT_THAT(journal.lines(), ElementsAreArray({"C_Finalize -> CKR_FUNCTION_FAILED"}));
    EXPECT_EQ(Token::instance(), nullptr);
    EXPECT_EQ(moduleBinding(), nullptr);
    EXPECT_FALSE(moduleLoaded());
}

TEST_F(SessionTest, TheScreenModelTakesPin2OnItsScreen) {
    emulator::State state = demo();
    tokenOf(state).model = "Veltora Lumora 2";
    tokenOf(state).pin2 = "1111";
    tokenOf(state).nextPin2 = "2222";
    Token& token = start(state);
    journal.clear();
    token.setLocalPin();
    EXPECT_THAT(journal.lines(), ElementsAreArray(okLines({"C_EX_SetLocalPIN"})));
    const emulator::State saved = readState();
    EXPECT_EQ(saved.slots.at(0)->pin2, "2222");
}

} // namespace
