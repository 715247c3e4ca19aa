// The hashing page's command on a 256 MiB file (in-memory views, software token) against
// readFile + Token::digest + writeFile called directly, in one run; and the page's peak memory.
// Targets: throughput ratio (direct time / page time) at least 0.97; peak growth at most the
// file's size + 16 MiB.
#include "emulator/core/StateFile.h"
#include "support/FileIo.h"
#include "support/TextConversion.h"
#include "tests/bench/BenchSupport.h"
#include "tests/ui/MemoryDialogView.h"
#include "token/Token.h"
#include "ui/HashPage.h"
#include "ui/resources/Resource.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>

namespace {

constexpr std::size_t kSize = std::size_t{256} << 20;
constexpr int kRounds = 3;

std::size_t peakMemory() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<std::size_t>(usage.ru_maxrss) * 1024;
}

template <typename F>
double seconds(F&& work) {
    const auto begin = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

void writeInput(const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    std::string block(1 << 20, '\0');
    for (std::size_t offset = 0; offset < kSize; offset += block.size()) {
        for (std::size_t i = 0; i < block.size(); ++i) {
            block[i] = static_cast<char>((offset + i) * 31 + ((offset + i) >> 12));
        }
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
}

int run() {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "workstation-page-bench";
    std::filesystem::create_directories(folder);
    const std::string statePath = (folder / "state.json").string();
    const std::string input = (folder / "input.bin").string();
    const std::string pageOutput = (folder / "page.dig").string();
    const std::string directOutput = (folder / "direct.dig").string();
    emulator::saveState(statePath, emulator::demoState());
    bench::setVariable("QRD_EMULATOR_STATE", statePath);
    bench::setVariable("QRD_EMULATOR_FAULTS", "[]");
    writeInput(input);

    initializeToken();
    Token& token = *Token::instance();
    token.login("12345678");

    MemoryDialogView view;
    HashPage page;
    page.start(view);
    view.control(IDC_HASH_INPUT).text = utf8ToWide(input);
    view.control(IDC_HASH_OUTPUT).text = utf8ToWide(pageOutput);
    view.control(IDC_HASH_GOST12_256).check = 1;
    const auto runPage = [&] {
        commandPage(page, view, IDC_HASH_RUN, 0, 0);
        if (!view.messageBoxes().empty()) {
            throw std::runtime_error("the hashing page reported " +
                                     wideToUtf8(view.messageBoxes().front().text));
        }
    };
    const auto runDirect = [&] {
        writeFile(directOutput, token.digest(readFile(input), CKM_GOSTR3411_12_256));
    };

    // The page runs first, so that the process's peak is the page's own.
    const std::size_t before = peakMemory();
    double pageTime = seconds(runPage);
    const double growth = static_cast<double>(peakMemory() - before) / (1 << 20);
    const double limit = static_cast<double>(kSize + (std::size_t{16} << 20)) / (1 << 20);

    double directTime = 1e30;
    for (int round = 0; round < kRounds; ++round) {
        directTime = std::min(directTime, seconds(runDirect));
        pageTime = std::min(pageTime, seconds(runPage));
    }
    const bool same = readFile(pageOutput) == readFile(directOutput);
    finalizeToken();
    std::filesystem::remove_all(folder);

    const double ratio = directTime / pageTime;
    const bool passed = same && ratio >= 0.97 && growth <= limit;
    std::printf("hash page 256 MiB: direct %.3f s, page %.3f s, ratio %.3f (target >= 0.97)\n",
                directTime, pageTime, ratio);
    std::printf("hash page peak growth: %.1f MiB (target <= %.1f MiB)%s\n", growth, limit,
                same ? "" : "; the digests differ");
    std::printf("%s\n", passed ? "PASS" : "FAIL");
    return passed ? 0 : 1;
}

} // namespace

int main() {
    try {
        return run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        return 2;
    }
}
