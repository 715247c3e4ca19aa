// Sessions, login, the retry counter and PIN changes.
#include "tests/emulator/Harness.h"

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

} // namespace
