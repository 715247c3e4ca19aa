// What the module conformance suite runs against: the core linked in, or the module loaded by
// name. Each test program defines moduleEntry() one way.
#pragma once

#include "emulator/core/StateFile.h"
#include "token/Cryptoki.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

struct ModuleEntry {
    CK_RV (*getFunctionList)(CK_FUNCTION_LIST_PTR_PTR);
    CK_RV (*getFunctionListExtended)(ExtendedFunctionList**);
};
ModuleEntry moduleEntry();

// Environment variables as the module reads them (UTF-8); nothing unsets.
void setEnvironment(const char* name, const std::optional<std::string>& value);

using emulator::Bytes;

Bytes hexBytes(const std::string& text);
CK_ULONG ulongOf(const CK_ATTRIBUTE& attribute);

// A token of every kind of key, the same for the whole test run: handles 1 to 6 are the
// private and public keys of 34.10-2001, 2012-256 and 2012-512; 7 and 8 secret keys.
emulator::TokenState standardToken();

// Each test starts from its own state file in a fresh folder, named by QRD_EMULATOR_STATE.
class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the state, loads the lists and initialises. Fails the test on any error.
    void start(const emulator::State& state);
    void start(const emulator::TokenState& token);
    void startStandard() { start(standardToken()); }
    // Only loads the lists (C_GetFunctionList, C_EX_GetFunctionListExtended).
    void loadLists();
    emulator::State savedState() const;

    CK_SESSION_HANDLE openSession(CK_SLOT_ID slot = 1,
                                  CK_FLAGS flags = CKF_SERIAL_SESSION | CKF_RW_SESSION);
    CK_RV login(CK_SESSION_HANDLE session, const std::string& pin);
    std::vector<CK_OBJECT_HANDLE> find(CK_SESSION_HANDLE session,
                                       std::vector<CK_ATTRIBUTE> pattern = {});

    std::filesystem::path folder_;
    std::filesystem::path stateFile_;
    std::string statePath_; // the same, as UTF-8
    CK_FUNCTION_LIST* p11_ = nullptr;
    ExtendedFunctionList* ex_ = nullptr;
    bool initialized_ = false;
};
