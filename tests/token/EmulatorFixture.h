// Tests against the software token: each test writes its own state file, points the module
// at it and captures the operation log.
#pragma once

#include "JournalCapture.h"
#include "emulator/core/StateFile.h"
#include "token/Token.h"
#include "token/platform/ModuleLoader.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

class EmulatorTest : public testing::Test {
protected:
    static constexpr const char* kUserPin = "12345678";

    // The demo token (a key pair of each kind, two secret keys), made once per program.
    static const emulator::State& demo() {
        static const emulator::State state = emulator::demoState();
        return state;
    }
    static emulator::TokenState& tokenOf(emulator::State& state) { return *state.slots.at(0); }

    void SetUp() override {
        static int counter = 0;
#if defined(_WIN32)
        const unsigned long pid = GetCurrentProcessId();
#else
        const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
        statePath_ =
            (std::filesystem::temp_directory_path() /
             ("qrd-token-test-" + std::to_string(pid) + "-" + std::to_string(++counter) + ".json"))
                .string();
        setVariable("QRD_EMULATOR_STATE", statePath_);
        setVariable("QRD_EMULATOR_FAULTS", "[]");
    }

    void TearDown() override {
        if (moduleBinding() != nullptr) {
            finalizeToken();
        }
    }

    // The state file, its lock and the temporary file of a save cut short, whatever the outcome
    // (after a failed TearDown too).
    ~EmulatorTest() override {
        for (const char* suffix : {"", ".lock", ".tmp"}) {
            std::error_code ignored;
            std::filesystem::remove(statePath_ + suffix, ignored);
        }
    }

    void writeState(const emulator::State& state) {
        emulator::saveState(statePath_, state);
    }
    emulator::State readState() const {
        return emulator::loadState(statePath_);
    }

    // Writes the state with the faults and starts the session.
    Token& start(emulator::State state = demo(), nlohmann::json faults = nullptr) {
        if (!faults.is_null()) {
            state.faults = std::move(faults);
        }
        writeState(state);
        initializeToken();
        return *Token::instance();
    }

    Token& startLoggedIn(emulator::State state = demo()) {
        Token& token = start(std::move(state));
        token.login(kUserPin);
        journal.clear();
        return token;
    }

    static bool moduleLoaded() {
        return token::platform::isLibraryLoaded(token::platform::moduleFileName());
    }

    static std::vector<std::string> okLines(std::initializer_list<const char*> names) {
        std::vector<std::string> lines;
        for (const char* name : names) {
            lines.push_back(std::string(name) + " -> CKR_OK");
        }
        return lines;
    }

    JournalCapture journal;

private:
    static void setVariable(const char* name, const std::string& value) {
#if defined(_WIN32)
        // The module reads its environment with GetEnvironmentVariableW.
        SetEnvironmentVariableA(name, value.c_str());
#else
        setenv(name, value.c_str(), 1);
#endif
    }

    std::string statePath_;
};
