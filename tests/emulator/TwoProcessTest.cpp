// Two programs on one state file at the same time: neither loses what the other saved.
#include "tests/emulator/Harness.h"

#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace {

#if defined(_WIN32)

std::string pathOf(HMODULE module) {
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(module, path, MAX_PATH);
    return std::string(path, length);
}

// Starts every command line, then waits for all; their exit codes, -1 for one not started.
std::vector<int> runTogether(const std::vector<std::string>& commands) {
    std::vector<PROCESS_INFORMATION> started;
    std::vector<int> codes(commands.size(), -1);
    for (const std::string& command : commands) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        std::string line = command;
        if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process)) {
            process.hProcess = nullptr;
        }
        started.push_back(process);
    }
    for (std::size_t i = 0; i < started.size(); ++i) {
        if (started[i].hProcess != nullptr) {
            ::WaitForSingleObject(started[i].hProcess, INFINITE);
            DWORD code = 0;
            ::GetExitCodeProcess(started[i].hProcess, &code);
            codes[i] = static_cast<int>(code);
            ::CloseHandle(started[i].hProcess);
            ::CloseHandle(started[i].hThread);
        }
    }
    return codes;
}

std::vector<std::string> signers(int count, int rounds) {
    moduleEntry();
    const std::string program = pathOf(nullptr);
    const std::string folder = program.substr(0, program.find_last_of('\\') + 1);
    const std::string module = pathOf(::GetModuleHandleA("vlPKCS11QRD.dll"));
    return std::vector<std::string>(count, "\"" + folder + "emulator_signer.exe\" \"" + module +
                                               "\" " + std::to_string(rounds));
}

#else

std::vector<int> runTogether(const std::vector<std::vector<std::string>>& commands) {
    std::vector<pid_t> started;
    for (const auto& command : commands) {
        std::vector<char*> arguments;
        for (const std::string& argument : command) {
            arguments.push_back(const_cast<char*>(argument.c_str()));
        }
        arguments.push_back(nullptr);
        pid_t child = -1;
        if (::posix_spawn(&child, arguments[0], nullptr, nullptr, arguments.data(), environ) != 0) {
            child = -1;
        }
        started.push_back(child);
    }
    std::vector<int> codes;
    for (const pid_t child : started) {
        int status = 0;
        codes.push_back(child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)
                            ? WEXITSTATUS(status)
                            : -1);
    }
    return codes;
}

std::vector<std::vector<std::string>> signers(int count, int rounds) {
    Dl_info module{};
    ::dladdr(reinterpret_cast<void*>(moduleEntry().getFunctionList), &module);
    char program[4096] = {};
    const ssize_t length = ::readlink("/proc/self/exe", program, sizeof program - 1);
    const std::string path(program, length > 0 ? static_cast<std::size_t>(length) : 0);
    const std::string signer = path.substr(0, path.find_last_of('/') + 1) + "emulator_signer";
    return std::vector<std::vector<std::string>>(
        count,
        {signer, module.dli_fname == nullptr ? "" : module.dli_fname, std::to_string(rounds)});
}

#endif

using TwoProcessTest = ModuleTest;

TEST_F(TwoProcessTest, NeitherLosesTheJournalRecordsOrRetryCountsOfTheOther) {
    emulator::State state;
    state.slots.emplace_back(standardToken());
    emulator::saveState(statePath_, state);
    constexpr int kRounds = 15;
    EXPECT_EQ(runTogether(signers(2, kRounds)), (std::vector<int>{0, 0}));

    const emulator::TokenState token = *savedState().slots[0];
    ASSERT_EQ(token.journal.size(), 2U * kRounds);
    for (std::size_t i = 0; i < token.journal.size(); ++i) {
        EXPECT_EQ(token.journal[i].counter, i + 1);
    }
    EXPECT_EQ(token.journalCounter, 2U * kRounds);
    EXPECT_EQ(token.userPinRetriesLeft, token.userPinMaxRetries);
}

} // namespace
