// Sessions, login, the retry counter and PIN changes.
#include "tests/emulator/Harness.h"

#include <filesystem>

namespace {

using SessionTest = ModuleTest;

CK_RV setPin(CK_FUNCTION_LIST* p11, CK_SESSION_HANDLE session, std::string oldPin,
             std::string newPin) {
    return p11->C_SetPIN(session, reinterpret_cast<CK_UTF8CHAR_PTR>(oldPin.data()), oldPin.size(),
                         reinterpret_cast<CK_UTF8CHAR_PTR>(newPin.data()), newPin.size());
}

CK_STATE stateOf(CK_FUNCTION_LIST* p11, CK_SESSION_HANDLE session) {
    CK_SESSION_INFO info{};
    EXPECT_EQ(p11->C_GetSessionInfo(session, &info), CKR_OK);
    return info.state;
}

TEST_F(SessionTest, ClosedSessionsAreGone) {
    startStandard();
    CK_SESSION_HANDLE session = 0;
    EXPECT_EQ(p11_->C_OpenSession(1, CKF_RW_SESSION, nullptr, nullptr, &session),
              CKR_SESSION_PARALLEL_NOT_SUPPORTED);
    const CK_SESSION_HANDLE first = openSession();
    const CK_SESSION_HANDLE second = openSession(1, CKF_SERIAL_SESSION);
    EXPECT_NE(first, second);
    EXPECT_EQ(stateOf(p11_, first), CKS_RW_PUBLIC_SESSION);
    EXPECT_EQ(stateOf(p11_, second), CKS_RO_PUBLIC_SESSION);
    ASSERT_EQ(p11_->C_CloseSession(first), CKR_OK);
    EXPECT_EQ(p11_->C_CloseSession(first), CKR_SESSION_HANDLE_INVALID);
    CK_SESSION_INFO info{};
    EXPECT_EQ(p11_->C_GetSessionInfo(first, &info), CKR_SESSION_HANDLE_INVALID);
    EXPECT_EQ(p11_->C_OpenSession(7, CKF_SERIAL_SESSION, nullptr, nullptr, &session),
              CKR_SLOT_ID_INVALID);
}

TEST_F(SessionTest, LoginIsSharedByTheTokensSessionsUntilTheLastCloses) {
    startStandard();
    const CK_SESSION_HANDLE first = openSession();
    const CK_SESSION_HANDLE second = openSession(1, CKF_SERIAL_SESSION);
    ASSERT_EQ(login(first, "12345678"), CKR_OK);
    EXPECT_EQ(login(second, "12345678"), CKR_USER_ALREADY_LOGGED_IN);
    EXPECT_EQ(stateOf(p11_, first), CKS_RW_USER_FUNCTIONS);
    EXPECT_EQ(stateOf(p11_, second), CKS_RO_USER_FUNCTIONS);
    ASSERT_EQ(p11_->C_Logout(second), CKR_OK);
    EXPECT_EQ(p11_->C_Logout(first), CKR_USER_NOT_LOGGED_IN);
    ASSERT_EQ(login(first, "12345678"), CKR_OK);
    ASSERT_EQ(p11_->C_CloseSession(first), CKR_OK);
    ASSERT_EQ(p11_->C_CloseSession(second), CKR_OK);
    const CK_SESSION_HANDLE third = openSession();
    EXPECT_EQ(stateOf(p11_, third), CKS_RW_PUBLIC_SESSION);
}

TEST_F(SessionTest, WrongPinsCountDownAndLockPersistently) {
    emulator::TokenState token = standardToken();
    token.userPinMaxRetries = 3;
    token.userPinRetriesLeft = 3;
    start(token);
    CK_SESSION_HANDLE session = openSession();
    EXPECT_EQ(login(session, "00000000"), CKR_PIN_INCORRECT);
    EXPECT_EQ(savedState().slots[0]->userPinRetriesLeft, 2);
    // A right PIN restores the counter.
    ASSERT_EQ(login(session, "12345678"), CKR_OK);
    EXPECT_EQ(savedState().slots[0]->userPinRetriesLeft, 3);
    ASSERT_EQ(p11_->C_Logout(session), CKR_OK);

    EXPECT_EQ(login(session, "1234567"), CKR_PIN_INCORRECT);
    EXPECT_EQ(login(session, ""), CKR_PIN_INCORRECT);
    EXPECT_EQ(login(session, "123456789"), CKR_PIN_INCORRECT);
    EXPECT_EQ(login(session, "12345678"), CKR_PIN_LOCKED);
    CK_TOKEN_INFO info{};
    ASSERT_EQ(p11_->C_GetTokenInfo(1, &info), CKR_OK);
    EXPECT_NE(info.flags & CKF_USER_PIN_LOCKED, 0U);

    // Still locked after the module is loaded again.
    ASSERT_EQ(p11_->C_Finalize(nullptr), CKR_OK);
    initialized_ = false;
    EXPECT_EQ(savedState().slots[0]->userPinRetriesLeft, 0);
    ASSERT_NO_FATAL_FAILURE(loadLists());
    ASSERT_EQ(p11_->C_Initialize(nullptr), CKR_OK);
    initialized_ = true;
    session = openSession();
    EXPECT_EQ(login(session, "12345678"), CKR_PIN_LOCKED);
}

TEST_F(SessionTest, OtherUserTypesAndTheSecurityOfficer) {
    startStandard();
    const CK_SESSION_HANDLE session = openSession();
    std::string pin = "87654321";
    auto* bytes = reinterpret_cast<CK_UTF8CHAR_PTR>(pin.data());
    EXPECT_EQ(p11_->C_Login(session, 7, bytes, pin.size()), CKR_USER_TYPE_INVALID);
    ASSERT_EQ(p11_->C_Login(session, CKU_SO, bytes, pin.size()), CKR_OK);
    EXPECT_EQ(stateOf(p11_, session), CKS_RW_SO_FUNCTIONS);
    EXPECT_EQ(login(session, "12345678"), CKR_USER_ANOTHER_ALREADY_LOGGED_IN);
}

TEST_F(SessionTest, SetPinChecksTheOldPinAndTheLength) {
    startStandard();
    const CK_SESSION_HANDLE readOnly = openSession(1, CKF_SERIAL_SESSION);
    EXPECT_EQ(setPin(p11_, readOnly, "12345678", "24681357"), CKR_SESSION_READ_ONLY);
    const CK_SESSION_HANDLE session = openSession();
    ASSERT_EQ(login(session, "12345678"), CKR_OK);
    EXPECT_EQ(setPin(p11_, session, "12345678", "12345"), CKR_PIN_LEN_RANGE);
    EXPECT_EQ(setPin(p11_, session, "12345678", std::string(33, '1')), CKR_PIN_LEN_RANGE);
    EXPECT_EQ(setPin(p11_, session, "87654321", "24681357"), CKR_PIN_INCORRECT);
    EXPECT_EQ(savedState().slots[0]->userPinRetriesLeft, 9);
    ASSERT_EQ(setPin(p11_, session, "12345678", "24681357"), CKR_OK);
    const emulator::State saved = savedState();
    EXPECT_EQ(saved.slots[0]->userPin, "24681357");
    EXPECT_EQ(saved.slots[0]->userPinRetriesLeft, 10);

    ASSERT_EQ(p11_->C_Logout(session), CKR_OK);
    EXPECT_EQ(login(session, "12345678"), CKR_PIN_INCORRECT);
    EXPECT_EQ(login(session, "24681357"), CKR_OK);
}

TEST_F(SessionTest, ChangesMadeMeanwhileByAnotherProcessAreSeenAndKept) {
    startStandard();
    const CK_SESSION_HANDLE session = openSession();
    // Another program (qrd-token, a second module) changes the PIN and adds a key.
    emulator::updateState(statePath_, [](emulator::State& state) {
        emulator::TokenState& token = *state.slots[0];
        token.userPin = "24681357";
        token.userPinRetriesLeft = 3;
        emulator::KeyObject key = token.objects[1];
        key.handle = 40;
        token.objects.push_back(key);
    });
    EXPECT_EQ(login(session, "12345678"), CKR_PIN_INCORRECT);
    const emulator::State saved = savedState();
    EXPECT_EQ(saved.slots[0]->userPin, "24681357");
    EXPECT_EQ(saved.slots[0]->userPinRetriesLeft, 2);
    EXPECT_EQ(saved.slots[0]->objects.size(), 9U);
    EXPECT_EQ(find(session).back(), 40U);

    // The other program locks the PIN.
    emulator::updateState(statePath_,
                          [](emulator::State& state) { state.slots[0]->userPinRetriesLeft = 0; });
    CK_TOKEN_INFO info{};
    ASSERT_EQ(p11_->C_GetTokenInfo(1, &info), CKR_OK);
    EXPECT_NE(info.flags & CKF_USER_PIN_LOCKED, 0U);
    EXPECT_EQ(login(session, "24681357"), CKR_PIN_LOCKED);
}

TEST_F(SessionTest, APinChangeThatCannotBeSavedChangesNothing) {
    emulator::TokenState token = standardToken();
    token.model = "Veltora Lumora 2";
    token.pin2 = "1111";
    token.nextPin2 = "2222";
    start(token);
    const CK_SESSION_HANDLE session = openSession();
    ASSERT_EQ(login(session, "12345678"), CKR_OK);
    // JSON holds UTF-8 only: refused before the (wrong) old PIN costs a try.
    EXPECT_EQ(setPin(p11_, session, "00000000",
                     "\xFF\xFE"
                     "345678"),
              CKR_PIN_INVALID);
    EXPECT_EQ(savedState().slots[0]->userPinRetriesLeft, 10);

    // A folder in the place of the temporary file makes every save fail.
    auto blocker = stateFile_;
    blocker += ".tmp";
    std::filesystem::create_directory(blocker);
    EXPECT_EQ(setPin(p11_, session, "12345678", "24681357"), CKR_DEVICE_ERROR);
    EXPECT_EQ(ex_->C_EX_SetLocalPIN(1, nullptr, 0, nullptr, 0, LOCAL_PIN_ID), CKR_DEVICE_ERROR);
    std::filesystem::remove(blocker);

    ASSERT_EQ(p11_->C_Logout(session), CKR_OK);
    EXPECT_EQ(login(session, "24681357"), CKR_PIN_INCORRECT);
    EXPECT_EQ(login(session, "12345678"), CKR_OK);
    EXPECT_EQ(savedState().slots[0]->pin2, "1111");
}

TEST_F(SessionTest, APinLongerThanAnyTheTokenKeepsIsWrongAndNotRead) {
    startStandard();
    const CK_SESSION_HANDLE session = openSession();
    // On the heap, so that a read past its end is caught by the address sanitizer.
    std::vector<CK_UTF8CHAR> pin = {'1', '2', '3', '4', '5', '6', '7', '8'};
    const CK_ULONG huge = 1UL << 20;
    EXPECT_EQ(p11_->C_Login(session, CKU_USER, pin.data(), huge), CKR_PIN_INCORRECT);
    EXPECT_EQ(savedState().slots[0]->userPinRetriesLeft, 9);
    ASSERT_EQ(p11_->C_Login(session, CKU_USER, pin.data(), pin.size()), CKR_OK);
    std::vector<CK_UTF8CHAR> next = {'2', '4', '6', '8', '1', '3', '5', '7'};
    EXPECT_EQ(p11_->C_SetPIN(session, pin.data(), huge, next.data(), next.size()),
              CKR_PIN_INCORRECT);
    EXPECT_EQ(savedState().slots[0]->userPin, "12345678");
}

} // namespace
