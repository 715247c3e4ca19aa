// The maker's extensions: the journal, invisible signing and PIN2 on the screen model, and the
// holder's refusal.
#include "emulator/core/Journal.h"
#include "tests/emulator/Harness.h"

namespace {

class ExtensionTest : public ModuleTest {
protected:
    CK_SESSION_HANDLE loggedIn(const emulator::TokenState& token) {
        start(token);
        const CK_SESSION_HANDLE session = openSession();
        EXPECT_EQ(login(session, "12345678"), CKR_OK);
        return session;
    }

    static emulator::TokenState screenToken() {
        emulator::TokenState token = standardToken();
        token.model = "Veltora Lumora 2";
        token.pin2 = "1111";
        token.nextPin2 = "2222";
        return token;
    }

    // Signs a digest by the size-query pattern; visible or invisible.
    CK_RV signDigest(CK_SESSION_HANDLE session, bool invisible, CK_MECHANISM_TYPE type,
                     CK_OBJECT_HANDLE key, Bytes digest) {
        CK_MECHANISM mechanism{type, nullptr, 0};
        const CK_RV init = invisible ? ex_->C_EX_SignInvisibleInit(session, &mechanism, key)
                                     : p11_->C_SignInit(session, &mechanism, key);
        if (init != CKR_OK) {
            return init;
        }
        const auto run = invisible ? ex_->C_EX_SignInvisible : p11_->C_Sign;
        CK_ULONG length = 0;
        if (const CK_RV rv = run(session, digest.data(), digest.size(), nullptr, &length);
            rv != CKR_OK) {
            return rv;
        }
        Bytes signature(length);
        return run(session, digest.data(), digest.size(), signature.data(), &length);
    }

    Bytes journal() {
        CK_ULONG length = 0;
        EXPECT_EQ(ex_->C_EX_GetJournal(1, nullptr, &length), CKR_OK);
        Bytes bytes(length);
        if (length > 0) {
            CK_ULONG shorter = length - 1;
            EXPECT_EQ(ex_->C_EX_GetJournal(1, bytes.data(), &shorter), CKR_BUFFER_TOO_SMALL);
        }
        EXPECT_EQ(ex_->C_EX_GetJournal(1, bytes.empty() ? nullptr : bytes.data(), &length), CKR_OK);
        return bytes;
    }
};

TEST_F(ExtensionTest, JournalRecordsSignaturesOfJournalledKeysOnly) {
    const CK_SESSION_HANDLE session = loggedIn(standardToken());
    EXPECT_TRUE(journal().empty());
    const Bytes first(32, 0xA1);
    const Bytes second(64, 0xB2);
    ASSERT_EQ(signDigest(session, false, CKM_GOSTR3410, 1, first), CKR_OK); // journalled
    ASSERT_EQ(signDigest(session, false, CKM_GOSTR3410, 3, first), CKR_OK); // not journalled
    ASSERT_EQ(signDigest(session, false, CKM_GOSTR3410_512, 5, second), CKR_OK);

    const auto records = emulator::decodeJournal(journal());
    ASSERT_EQ(records.size(), 2U);
    EXPECT_EQ(records[0].counter, 1U);
    EXPECT_EQ(records[0].keyId, Bytes{0x01});
    EXPECT_EQ(records[0].digest, first);
    EXPECT_EQ(records[0].kind, emulator::JournalKind::Signature);
    EXPECT_EQ(records[1].counter, 2U);
    EXPECT_EQ(records[1].keyId, Bytes{0x03});
    EXPECT_EQ(records[1].digest, second);
    // Saved as it happened.
    EXPECT_EQ(savedState().slots[0]->journal.size(), 2U);
    EXPECT_EQ(savedState().slots[0]->journalCounter, 2U);
}

TEST_F(ExtensionTest, ScreenModelOnlyFunctionsAreRefusedElsewhere) {
    const CK_SESSION_HANDLE session = loggedIn(standardToken());
    EXPECT_EQ(signDigest(session, true, CKM_GOSTR3410, 1, Bytes(32)), CKR_FUNCTION_NOT_SUPPORTED);
    EXPECT_EQ(ex_->C_EX_SetLocalPIN(1, nullptr, 0, nullptr, 0, LOCAL_PIN_ID),
              CKR_FUNCTION_NOT_SUPPORTED);
}

TEST_F(ExtensionTest, InvisibleSignaturesOnTheScreenModelAreJournalled) {
    const CK_SESSION_HANDLE session = loggedIn(screenToken());
    ASSERT_EQ(signDigest(session, true, CKM_GOSTR3410_512, 5, Bytes(64, 7)), CKR_OK);
    const auto records = emulator::decodeJournal(journal());
    ASSERT_EQ(records.size(), 1U);
    EXPECT_EQ(records[0].kind, emulator::JournalKind::InvisibleSignature);
    // A visible C_Sign cannot finish an invisible operation.
    CK_MECHANISM mechanism{CKM_GOSTR3410, nullptr, 0};
    ASSERT_EQ(ex_->C_EX_SignInvisibleInit(session, &mechanism, 1), CKR_OK);
    CK_BYTE digest[32] = {};
    CK_ULONG length = 0;
    EXPECT_EQ(p11_->C_Sign(session, digest, 32, nullptr, &length), CKR_OPERATION_NOT_INITIALIZED);
}

TEST_F(ExtensionTest, TheHolderMayRefuseVisibleSignatures) {
    emulator::TokenState token = screenToken();
    token.refuseSignatures = true;
    const CK_SESSION_HANDLE session = loggedIn(token);
    EXPECT_EQ(signDigest(session, false, CKM_GOSTR3410, 1, Bytes(32)), CKR_FUNCTION_REJECTED);
    EXPECT_TRUE(journal().empty());
    EXPECT_EQ(signDigest(session, true, CKM_GOSTR3410, 1, Bytes(32)), CKR_OK);
}

TEST_F(ExtensionTest, LocalPinTakesTheNextPin2) {
    start(screenToken());
    EXPECT_EQ(ex_->C_EX_SetLocalPIN(1, nullptr, 0, nullptr, 0, 5), CKR_ARGUMENTS_BAD);
    ASSERT_EQ(ex_->C_EX_SetLocalPIN(1, nullptr, 0, nullptr, 0, LOCAL_PIN_ID), CKR_OK);
    EXPECT_EQ(savedState().slots[0]->pin2, "2222");
    EXPECT_EQ(ex_->C_EX_SetLocalPIN(2, nullptr, 0, nullptr, 0, LOCAL_PIN_ID), CKR_SLOT_ID_INVALID);
}

} // namespace
