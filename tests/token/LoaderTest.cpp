// Loading the module: every failure leaves nothing loaded, and the list calls are logged.
#include "JournalCapture.h"
#include "ModuleTestAccess.h"
#include "tests/token/FixturePaths.h"
#include "token/Exception.h"
#include "token/platform/ModuleLoader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

using testing::ElementsAre;
using token::platform::isLibraryLoaded;

namespace {

// The message of the std::runtime_error that loading `library` throws.
std::string loadFailure(const char* library) {
    try {
        Pkcs11ModuleTestAccess::load(library);
    } catch (const Exception& e) {
        return std::string("Exception: ") + e.what();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "loaded";
}

TEST(Loader, AMissingLibraryLogsNothing) {
    JournalCapture journal;
    EXPECT_EQ(loadFailure("qrdNoSuchModule.dll"), "LoadLibrary");
    EXPECT_TRUE(journal.lines().empty());
}

TEST(Loader, AMissingEntryPointIsFoundBeforeAnyCallAndUnloads) {
    JournalCapture journal;
    EXPECT_EQ(loadFailure(fixture::kNoStandard), "GetProcAddress::C_GetFunctionList");
    EXPECT_FALSE(isLibraryLoaded(fixture::kNoStandard));
    EXPECT_EQ(loadFailure(fixture::kNoExtension), "GetProcAddress::C_EX_GetFunctionListExtended");
    EXPECT_FALSE(isLibraryLoaded(fixture::kNoExtension));
    EXPECT_TRUE(journal.lines().empty());
}

TEST(Loader, AFailingListCallIsLoggedAndUnloads) {
    JournalCapture journal;
    try {
        Pkcs11ModuleTestAccess::load(fixture::kListFails);
        FAIL() << "loaded";
    } catch (const Pkcs11Exception& e) {
        EXPECT_EQ(e.code(), CKR_GENERAL_ERROR);
    }
    EXPECT_FALSE(isLibraryLoaded(fixture::kListFails));
    EXPECT_THAT(journal.lines(), ElementsAre("C_GetFunctionList -> CKR_GENERAL_ERROR"));
}

TEST(Loader, AListCallThatHandsOverNoListFailsAndUnloads) {
    JournalCapture journal;
    EXPECT_EQ(loadFailure(fixture::kNoPointer), "C_GetFunctionList returned no function list");
    EXPECT_FALSE(isLibraryLoaded(fixture::kNoPointer));
    EXPECT_THAT(journal.lines(), ElementsAre("C_GetFunctionList -> CKR_OK"));

    journal.clear();
    EXPECT_EQ(loadFailure(fixture::kExtNoPointer),
              "C_EX_GetFunctionListExtended returned no function list");
    EXPECT_FALSE(isLibraryLoaded(fixture::kExtNoPointer));
    EXPECT_THAT(journal.lines(), ElementsAre("C_GetFunctionList -> CKR_OK",
                                             "C_EX_GetFunctionListExtended -> CKR_OK"));
}

TEST(Loader, ALoadedModuleStaysUntilTheBindingEnds) {
    JournalCapture journal;
    auto module = Pkcs11ModuleTestAccess::load(fixture::kGood);
    EXPECT_TRUE(isLibraryLoaded(fixture::kGood));
    EXPECT_NE(Pkcs11ModuleTestAccess::functions(*module), nullptr);
    EXPECT_NE(Pkcs11ModuleTestAccess::extended(*module), nullptr);
    EXPECT_THAT(journal.lines(), ElementsAre("C_GetFunctionList -> CKR_OK",
                                             "C_EX_GetFunctionListExtended -> CKR_OK"));
    module.reset();
    EXPECT_FALSE(isLibraryLoaded(fixture::kGood));
    EXPECT_EQ(journal.lines().size(), 2u);
}

} // namespace
