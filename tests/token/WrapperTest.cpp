// The wrappers against hand-made function lists: each calls the entry at its list position,
// passes its arguments through unchanged, and logs and judges the code under its own name.
#include "JournalCapture.h"
#include "ModuleTestAccess.h"
#include "tests/token/FixturePaths.h"
#include "token/CheckResult.h"
#include "token/Exception.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

using testing::ElementsAre;

namespace {

struct RecordedCall {
    std::size_t position;
    std::vector<std::uintptr_t> arguments;
};

std::vector<RecordedCall> recorded;
CK_RV answer = CKR_OK;

template <typename T>
std::uintptr_t asNumber(T value) {
    if constexpr (std::is_pointer_v<T>) {
        return reinterpret_cast<std::uintptr_t>(value);
    } else {
        return static_cast<std::uintptr_t>(value);
    }
}

// A distinct value for argument i, never dereferenced.
template <typename T>
T argument(std::size_t i) {
    if constexpr (std::is_pointer_v<T>) {
        return reinterpret_cast<T>(std::uintptr_t{0x10000} + 0x100 * i);
    } else {
        return static_cast<T>(0x21 + i);
    }
}

template <typename... Args, std::size_t... I>
std::tuple<Args...> makeArguments(std::index_sequence<I...>) {
    return {argument<Args>(I)...};
}

template <std::size_t Position, typename... Args>
CK_RV record(Args... args) {
    recorded.push_back({Position, {asNumber(args)...}});
    return answer;
}

// Entry n of either list lies n pointers after entry 0.
template <std::size_t Position, typename List, typename... Args>
void install(List& list, std::size_t firstEntry) {
    CK_RV (*entry)(Args...) = &record<Position, Args...>;
    std::memcpy(reinterpret_cast<unsigned char*>(&list) + firstEntry + Position * sizeof entry,
                &entry, sizeof entry);
}

class WrapperTest : public testing::Test {
protected:
    void SetUp() override {
        module = Pkcs11ModuleTestAccess::load(fixture::kGood);
        Pkcs11ModuleTestAccess::functions(*module) = &standard;
        Pkcs11ModuleTestAccess::extended(*module) = &extended;
        recorded.clear();
        answer = CKR_OK;
        journal.clear();
    }

    template <std::size_t Position, typename... Args>
    void expectEntry(void (Pkcs11Module::*wrapper)(Args...), bool inExtended,
                     const std::string& name) {
        SCOPED_TRACE(name);
        if (inExtended) {
            install<Position, ExtendedFunctionList, Args...>(
                extended, offsetof(ExtendedFunctionList, C_EX_GetFunctionListExtended));
        } else {
            install<Position, CK_FUNCTION_LIST, Args...>(standard,
                                                         offsetof(CK_FUNCTION_LIST, C_Initialize));
        }
        recorded.clear();
        journal.clear();
        const std::tuple<Args...> arguments =
            makeArguments<Args...>(std::index_sequence_for<Args...>{});
        std::apply([&](Args... a) { ((*module).*wrapper)(a...); }, arguments);
        ASSERT_EQ(recorded.size(), 1u);
        EXPECT_EQ(recorded[0].position, Position);
        const std::vector<std::uintptr_t> expected = std::apply(
            [](Args... a) { return std::vector<std::uintptr_t>{asNumber(a)...}; }, arguments);
        EXPECT_EQ(recorded[0].arguments, expected);
        EXPECT_THAT(journal.lines(), ElementsAre(name + " -> CKR_OK"));
    }

    JournalCapture journal;
    CK_FUNCTION_LIST standard{};
    ExtendedFunctionList extended{};
    std::unique_ptr<Pkcs11Module> module;
};

TEST_F(WrapperTest, EachWrapperCallsItsEntryWithItsArgumentsUnderItsName) {
    using M = Pkcs11Module;
    expectEntry<0>(&M::C_Initialize, false, "C_Initialize");
    expectEntry<1>(&M::C_Finalize, false, "C_Finalize");
    expectEntry<3>(&M::C_GetFunctionList, false, "C_GetFunctionList");
    expectEntry<4>(&M::C_GetSlotList, false, "C_GetSlotList");
    expectEntry<6>(&M::C_GetTokenInfo, false, "C_GetTokenInfo");
    expectEntry<11>(&M::C_SetPIN, false, "C_SetPIN");
    expectEntry<12>(&M::C_OpenSession, false, "C_OpenSession");
    expectEntry<13>(&M::C_CloseSession, false, "C_CloseSession");
    expectEntry<18>(&M::C_Login, false, "C_Login");
    expectEntry<24>(&M::C_GetAttributeValue, false, "C_GetAttributeValue");
    expectEntry<26>(&M::C_FindObjectsInit, false, "C_FindObjectsInit");
    expectEntry<27>(&M::C_FindObjects, false, "C_FindObjects");
    expectEntry<28>(&M::C_FindObjectsFinal, false, "C_FindObjectsFinal");
    expectEntry<29>(&M::C_EncryptInit, false, "C_EncryptInit");
    expectEntry<30>(&M::C_Encrypt, false, "C_Encrypt");
    expectEntry<33>(&M::C_DecryptInit, false, "C_DecryptInit");
    expectEntry<34>(&M::C_Decrypt, false, "C_Decrypt");
    expectEntry<37>(&M::C_DigestInit, false, "C_DigestInit");
    expectEntry<38>(&M::C_Digest, false, "C_Digest");
    expectEntry<42>(&M::C_SignInit, false, "C_SignInit");
    expectEntry<43>(&M::C_Sign, false, "C_Sign");
    expectEntry<48>(&M::C_VerifyInit, false, "C_VerifyInit");
    expectEntry<49>(&M::C_Verify, false, "C_Verify");
    expectEntry<0>(&M::C_EX_GetFunctionListExtended, true, "C_EX_GetFunctionListExtended");
    expectEntry<2>(&M::C_EX_GetTokenInfoExtended, true, "C_EX_GetTokenInfoExtended");
    expectEntry<12>(&M::C_EX_SetLocalPIN, true, "C_EX_SetLocalPIN");
    expectEntry<21>(&M::C_EX_GetJournal, true, "C_EX_GetJournal");
    expectEntry<22>(&M::C_EX_SignInvisibleInit, true, "C_EX_SignInvisibleInit");
    expectEntry<23>(&M::C_EX_SignInvisible, true, "C_EX_SignInvisible");
    // With every wrapper's entry in place none is missing: the 29 names are the wrappers'.
    EXPECT_THAT(module->missingEntries(), testing::IsEmpty());
}

TEST_F(WrapperTest, EveryEmptyEntryThatAWrapperCallsIsNamedAsMissing) {
    const std::vector<std::string_view> empty = module->missingEntries();
    ASSERT_EQ(empty.size(), 29u);
    EXPECT_EQ(empty.front(), "C_Initialize");
    EXPECT_EQ(empty.back(), "C_EX_SignInvisible");
    install<18, CK_FUNCTION_LIST, CK_SESSION_HANDLE, CK_USER_TYPE, CK_UTF8CHAR_PTR, CK_ULONG>(
        standard, offsetof(CK_FUNCTION_LIST, C_Initialize));
    install<21, ExtendedFunctionList, CK_SLOT_ID, CK_BYTE_PTR, CK_ULONG_PTR>(
        extended, offsetof(ExtendedFunctionList, C_EX_GetFunctionListExtended));
    const std::vector<std::string_view> missing = module->missingEntries();
    EXPECT_EQ(missing.size(), 27u);
    EXPECT_THAT(missing, testing::Not(testing::Contains("C_Login")));
    EXPECT_THAT(missing, testing::Not(testing::Contains("C_EX_GetJournal")));
}

TEST_F(WrapperTest, AFailingCallIsLoggedBeforeItsExceptionLeaves) {
    install<18, CK_FUNCTION_LIST, CK_SESSION_HANDLE, CK_USER_TYPE, CK_UTF8CHAR_PTR, CK_ULONG>(
        standard, offsetof(CK_FUNCTION_LIST, C_Initialize));
    const auto login = [&] { module->C_Login(1, CKU_USER, nullptr, 0); };

    answer = CKR_PIN_INCORRECT;
    try {
        login();
        FAIL() << "no exception";
    } catch (const Pkcs11Exception& e) {
        EXPECT_EQ(e.code(), 0xA0u);
        EXPECT_STREQ(e.whatRu(), "Неправильный PIN-код");
    }
    answer = 0x80000001UL;
    EXPECT_THROW(login(), Pkcs11Exception);
    answer = CKR_BUFFER_TOO_SMALL;
    EXPECT_THROW(login(), Pkcs11Exception);
    EXPECT_THAT(journal.lines(),
                ElementsAre("C_Login -> CKR_PIN_INCORRECT", "C_Login -> Unknown error",
                            "C_Login -> CKR_BUFFER_TOO_SMALL"));
}

TEST_F(WrapperTest, AnEmptyEntryFailsAsNotSupportedInsteadOfCrashing) {
    try {
        module->C_Digest(1, nullptr, 0, nullptr, nullptr);
        FAIL() << "no exception";
    } catch (const Pkcs11Exception& e) {
        EXPECT_EQ(e.code(), CKR_FUNCTION_NOT_SUPPORTED);
    }
    EXPECT_THROW(module->C_EX_GetJournal(1, nullptr, nullptr), Pkcs11Exception);
    EXPECT_TRUE(recorded.empty());
    EXPECT_THAT(journal.lines(), ElementsAre("C_Digest -> CKR_FUNCTION_NOT_SUPPORTED",
                                             "C_EX_GetJournal -> CKR_FUNCTION_NOT_SUPPORTED"));
}

TEST_F(WrapperTest, ACodeWiderThan32BitsStillFails) {
    if constexpr (sizeof(CK_RV) > 4) {
        const CK_RV wide = static_cast<CK_RV>(1) << 32;
        for (const CK_RV code : {wide, wide | CKR_PIN_INCORRECT}) {
            try {
                token::checkResult("C_Login", code);
                FAIL() << "no exception";
            } catch (const Pkcs11Exception& e) {
                EXPECT_EQ(e.code(), 0xFFFFFFFFu);
            }
        }
        EXPECT_THAT(journal.lines(),
                    ElementsAre("C_Login -> Unknown error", "C_Login -> Unknown error"));
    } else {
        GTEST_SKIP() << "CK_RV is 32 bits wide here";
    }
}

TEST_F(WrapperTest, AJournalFailureReplacesTheCallsOwnOutcome) {
    install<13, CK_FUNCTION_LIST, CK_SESSION_HANDLE>(standard,
                                                     offsetof(CK_FUNCTION_LIST, C_Initialize));
    journal.list().failNextAppend(LogListControl::kNoSpace);
    EXPECT_THROW(module->C_CloseSession(1), std::runtime_error);
    answer = CKR_SESSION_HANDLE_INVALID;
    journal.list().failNextAppend(LogListControl::kFailed);
    try {
        module->C_CloseSession(1);
        FAIL() << "no exception";
    } catch (const Pkcs11Exception&) {
        FAIL() << "the journal's failure should have replaced the call's";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Failed to write log");
    }
    EXPECT_EQ(recorded.size(), 2u);
}

} // namespace
