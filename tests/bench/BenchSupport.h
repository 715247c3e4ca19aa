// Small helpers shared by the benchmark programs that drive the software token directly.
#pragma once

#include "token/Cryptoki.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#if defined(_WIN32)
#include <windows.h>
// windows.h first.
#include <psapi.h>
#else
#include <sys/resource.h>
#endif

namespace bench {

// Names the software token's state file (or another variable) for this process.
inline void setVariable(const char* name, const std::string& value) {
#if defined(_WIN32)
    SetEnvironmentVariableA(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

// A benchmark stops at the first call the token refuses.
inline void check(CK_RV rv, const char* call) {
    if (rv != CKR_OK) {
        throw std::runtime_error(std::string(call) + " answered " + std::to_string(rv));
    }
}

// The process's peak memory so far, in bytes.
inline std::size_t peakMemory() {
#if defined(_WIN32)
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize;
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<std::size_t>(usage.ru_maxrss) * 1024;
#endif
}

// The wall-clock time the work takes.
template <typename F>
double seconds(F&& work) {
    const auto begin = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

// Runs a benchmark's body: its result (0 when every target is met, 1 when one is missed), or 2
// with the reason when it could not run.
template <typename F>
int runBenchmark(F&& body) {
    try {
        return body();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        return 2;
    }
}

} // namespace bench
