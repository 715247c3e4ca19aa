// Test faults from the state file and from QRD_EMULATOR_FAULTS.
#include "tests/emulator/Harness.h"

#include <chrono>

namespace {

class FaultTest : public ModuleTest {
protected:
    void startWithFaults(nlohmann::json faults) {
        emulator::State state;
        state.slots.emplace_back(standardToken());
        state.faults = std::move(faults);
        start(state);
    }
};

TEST_F(FaultTest, CodeForTheNthCallCountedFromTheFunctionList) {
    startWithFaults(R"([{"function": "C_Login", "call": 2, "rv": 160}])"_json);
    const CK_SESSION_HANDLE session = openSession();
    ASSERT_EQ(login(session, "12345678"), CKR_OK);
    ASSERT_EQ(p11_->C_Logout(session), CKR_OK);
    EXPECT_EQ(login(session, "12345678"), CKR_PIN_INCORRECT);
    EXPECT_EQ(savedState().slots[0]->userPinRetriesLeft, 10); // nothing was done
    EXPECT_EQ(login(session, "12345678"), CKR_OK);

    // A new C_GetFunctionList starts counting again.
    ASSERT_EQ(p11_->C_Finalize(nullptr), CKR_OK);
    initialized_ = false;
    ASSERT_NO_FATAL_FAILURE(loadLists());
    ASSERT_EQ(p11_->C_Initialize(nullptr), CKR_OK);
    initialized_ = true;
    const CK_SESSION_HANDLE again = openSession();
    ASSERT_EQ(login(again, "12345678"), CKR_OK);
    ASSERT_EQ(p11_->C_Logout(again), CKR_OK);
    EXPECT_EQ(login(again, "12345678"), CKR_PIN_INCORRECT);
}

TEST_F(FaultTest, EveryCallByNameFromTheEnvironment) {
    setEnvironment("QRD_EMULATOR_FAULTS",
                   R"([{"function": "C_GetTokenInfo", "rv": "CKR_DEVICE_ERROR"}])");
    startStandard();
    CK_TOKEN_INFO info{};
    EXPECT_EQ(p11_->C_GetTokenInfo(1, &info), CKR_DEVICE_ERROR);
    EXPECT_EQ(p11_->C_GetTokenInfo(1, &info), CKR_DEVICE_ERROR);
}

TEST_F(FaultTest, FunctionListCallsCanFailOrLeaveThePointerUnset) {
    emulator::State state;
    state.slots.emplace_back(standardToken());
    state.faults = R"([{"function": "C_GetFunctionList", "kind": "noPointer"},
                       {"function": "C_EX_GetFunctionListExtended", "rv": 5}])"_json;
    emulator::saveState(statePath_, state);
    const ModuleEntry entry = moduleEntry();
    CK_FUNCTION_LIST* list = nullptr;
    EXPECT_EQ(entry.getFunctionList(&list), CKR_OK);
    EXPECT_EQ(list, nullptr);
    ExtendedFunctionList* extended = nullptr;
    EXPECT_EQ(entry.getFunctionListExtended(&extended), CKR_GENERAL_ERROR);
    EXPECT_EQ(extended, nullptr);
}

TEST_F(FaultTest, OddAnswersOfSizeQueriesAndTheExtendedRecord) {
    startWithFaults(R"([{"function": "C_Digest", "kind": "zeroLength"},
                        {"function": "C_Sign", "kind": "overstate", "by": 4},
                        {"function": "C_EX_GetTokenInfoExtended", "kind": "recordSize",
                         "value": 100}])"_json);
    const CK_SESSION_HANDLE session = openSession();
    ASSERT_EQ(login(session, "12345678"), CKR_OK);

    CK_MECHANISM hash{CKM_GOSTR3411_12_256, nullptr, 0};
    ASSERT_EQ(p11_->C_DigestInit(session, &hash), CKR_OK);
    CK_BYTE data[1] = {0};
    CK_ULONG length = 99;
    ASSERT_EQ(p11_->C_Digest(session, data, 1, nullptr, &length), CKR_OK);
    EXPECT_EQ(length, 0U);

    CK_MECHANISM mechanism{CKM_GOSTR3410, nullptr, 0};
    ASSERT_EQ(p11_->C_SignInit(session, &mechanism, 1), CKR_OK);
    CK_BYTE digest[32] = {1};
    ASSERT_EQ(p11_->C_Sign(session, digest, 32, nullptr, &length), CKR_OK);
    EXPECT_EQ(length, 68U);
    Bytes signature(length);
    ASSERT_EQ(p11_->C_Sign(session, digest, 32, signature.data(), &length), CKR_OK);
    EXPECT_EQ(length, 64U);

    TokenInfoExtended info{};
    info.size = sizeof info;
    info.checksum = 0xFFFFFFFF;
    ASSERT_EQ(ex_->C_EX_GetTokenInfoExtended(1, &info), CKR_OK);
    EXPECT_EQ(info.size, 100U);
    EXPECT_EQ(info.checksum, 0xFFFFFFFFU);
}

// A label cut at its end, and lengths withheld while the call answers success: only the size
// queries (null values) lose their lengths.
TEST_F(FaultTest, CutLabelsAndUnavailableLengths) {
    startWithFaults(R"([{"function": "C_GetTokenInfo", "kind": "cutLabel", "by": 3},
                        {"function": "C_GetAttributeValue", "call": 1, "kind": "cutLabel",
                         "by": 1},
                        {"function": "C_GetAttributeValue", "call": 2,
                         "kind": "unavailableLength"},
                        {"function": "C_EX_GetJournal", "kind": "unavailableLength"}])"_json);
    CK_TOKEN_INFO info{};
    ASSERT_EQ(p11_->C_GetTokenInfo(1, &info), CKR_OK);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(info.label), sizeof info.label),
              "Test to" + std::string(25, ' '));

    const CK_SESSION_HANDLE session = openSession();
    const CK_OBJECT_HANDLE key = find(session, {}).at(0);
    CK_BYTE label[64] = {};
    CK_ATTRIBUTE cut = {CKA_LABEL, label, sizeof label};
    ASSERT_EQ(p11_->C_GetAttributeValue(session, key, &cut, 1), CKR_OK);
    const Bytes full = standardToken().findObject(static_cast<std::uint32_t>(key))->label;
    EXPECT_EQ(Bytes(label, label + cut.ulValueLen), Bytes(full.begin(), full.end() - 1));

    CK_BYTE id[8] = {};
    CK_ATTRIBUTE withheld[] = {{CKA_LABEL, nullptr, 0}, {CKA_ID, id, sizeof id}};
    ASSERT_EQ(p11_->C_GetAttributeValue(session, key, withheld, 2), CKR_OK);
    EXPECT_EQ(withheld[0].ulValueLen, CK_UNAVAILABLE_INFORMATION);
    EXPECT_EQ(withheld[1].ulValueLen, 1U);

    CK_ULONG length = 0;
    ASSERT_EQ(ex_->C_EX_GetJournal(1, nullptr, &length), CKR_OK);
    EXPECT_EQ(length, CK_UNAVAILABLE_INFORMATION);
}

TEST_F(FaultTest, ADelayedCallAnswersAfterItsTime) {
    startWithFaults(R"([{"function": "C_Sign", "kind": "delay", "value": 300}])"_json);
    const CK_SESSION_HANDLE session = openSession();
    ASSERT_EQ(login(session, "12345678"), CKR_OK);
    CK_MECHANISM mechanism{CKM_GOSTR3410, nullptr, 0};
    ASSERT_EQ(p11_->C_SignInit(session, &mechanism, 1), CKR_OK);
    CK_BYTE digest[32] = {1};
    CK_ULONG length = 0;
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(p11_->C_Sign(session, digest, 32, nullptr, &length), CKR_OK);
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(300));
    EXPECT_EQ(length, 64U) << "the call is done as without the delay";
}

// An imposed failure of a single-part step ends the operation, as a real one does, so the next
// operation of that kind starts; an imposed CKR_BUFFER_TOO_SMALL leaves it under way.
TEST_F(FaultTest, AnImposedFailureEndsTheOperation) {
    startWithFaults(R"([{"function": "C_Digest", "call": 1, "rv": "CKR_DEVICE_ERROR"},
                        {"function": "C_Digest", "call": 2, "rv": "CKR_BUFFER_TOO_SMALL"},
                        {"function": "C_Sign", "call": 1, "rv": "CKR_DEVICE_ERROR"},
                        {"function": "C_Verify", "call": 1, "rv": "CKR_DEVICE_ERROR"},
                        {"function": "C_Encrypt", "call": 1, "rv": "CKR_DEVICE_ERROR"},
                        {"function": "C_Decrypt", "call": 1, "rv": "CKR_DEVICE_ERROR"}])"_json);
    const CK_SESSION_HANDLE session = openSession();
    ASSERT_EQ(login(session, "12345678"), CKR_OK);
    CK_BYTE data[32] = {1};
    CK_BYTE out[64] = {};
    CK_ULONG length = sizeof out;

    CK_MECHANISM hash{CKM_GOSTR3411_12_256, nullptr, 0};
    ASSERT_EQ(p11_->C_DigestInit(session, &hash), CKR_OK);
    EXPECT_EQ(p11_->C_Digest(session, data, 1, out, &length), CKR_DEVICE_ERROR);
    ASSERT_EQ(p11_->C_DigestInit(session, &hash), CKR_OK);
    EXPECT_EQ(p11_->C_Digest(session, data, 1, out, &length), CKR_BUFFER_TOO_SMALL);
    EXPECT_EQ(p11_->C_DigestInit(session, &hash), CKR_OPERATION_ACTIVE);
    EXPECT_EQ(p11_->C_Digest(session, data, 1, out, &length), CKR_OK);

    CK_MECHANISM signature{CKM_GOSTR3410, nullptr, 0};
    ASSERT_EQ(p11_->C_SignInit(session, &signature, 1), CKR_OK);
    EXPECT_EQ(p11_->C_Sign(session, data, 32, out, &length), CKR_DEVICE_ERROR);
    ASSERT_EQ(p11_->C_SignInit(session, &signature, 1), CKR_OK);
    length = sizeof out;
    EXPECT_EQ(p11_->C_Sign(session, data, 32, out, &length), CKR_OK);
    ASSERT_EQ(p11_->C_VerifyInit(session, &signature, 2), CKR_OK);
    EXPECT_EQ(p11_->C_Verify(session, data, 32, out, length), CKR_DEVICE_ERROR);
    ASSERT_EQ(p11_->C_VerifyInit(session, &signature, 2), CKR_OK);
    EXPECT_EQ(p11_->C_Verify(session, data, 32, out, length), CKR_OK);

    CK_BYTE iv[8] = {};
    CK_MECHANISM cipher{CKM_GOST28147, iv, sizeof iv};
    for (const bool encrypt : {true, false}) {
        const auto init = encrypt ? p11_->C_EncryptInit : p11_->C_DecryptInit;
        const auto step = encrypt ? p11_->C_Encrypt : p11_->C_Decrypt;
        length = sizeof out;
        ASSERT_EQ(init(session, &cipher, 7), CKR_OK);
        EXPECT_EQ(step(session, data, 8, out, &length), CKR_DEVICE_ERROR);
        ASSERT_EQ(init(session, &cipher, 7), CKR_OK) << (encrypt ? "encrypt" : "decrypt");
        EXPECT_EQ(step(session, data, 8, out, &length), CKR_OK);
    }
}

TEST_F(FaultTest, MalformedFaultsFailInitialisation) {
    emulator::State state;
    state.slots.emplace_back(standardToken());
    emulator::saveState(statePath_, state);
    for (const char* faults : {R"([{"function": "C_Login"}])",
                               R"([{"function": "C_Sign", "kind": "delay", "value": -1}])"}) {
        setEnvironment("QRD_EMULATOR_FAULTS", faults);
        ASSERT_NO_FATAL_FAILURE(loadLists());
        EXPECT_EQ(p11_->C_Initialize(nullptr), CKR_DEVICE_ERROR) << faults;
    }
}

} // namespace
