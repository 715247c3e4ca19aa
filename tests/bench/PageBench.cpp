// The task pages' commands on a 256 MiB file (in-memory views, software token) against the
// same file reads, Token operations and writes called directly, in one run; and the peak
// memory of the hashing and encryption pages.
// Targets: throughput ratio (direct time / page time) at least 0.97 for hashing, signing,
// verifying and encrypting; peak growth of the hashing page at most the file's size + 16 MiB,
// of the encryption page at most input + output + 16 MiB.
#include "emulator/core/StateFile.h"
#include "support/FileIo.h"
#include "support/TextConversion.h"
#include "tests/bench/BenchSupport.h"
#include "tests/ui/MemoryDialogView.h"
#include "token/Mechanisms.h"
#include "token/Token.h"
#include "ui/EncryptPage.h"
#include "ui/HashPage.h"
#include "ui/SignPage.h"
#include "ui/VerifyPage.h"
#include "ui/resources/Resource.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using bench::peakMemory;
using bench::seconds;

constexpr std::size_t kSize = std::size_t{256} << 20;
constexpr int kRounds = 3;
constexpr double kMiB = 1 << 20;

// The growth of the peak memory while `work` runs, measured in a child process: a fresh peak
// starts there at the memory the parent holds, so each page is measured on its own.
double peakGrowth(const std::function<void()>& work) {
    int channel[2];
    if (pipe(channel) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        const std::size_t before = peakMemory();
        double growth = -1;
        try {
            work();
            growth = static_cast<double>(peakMemory() - before) / kMiB;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        }
        const ssize_t written = write(channel[1], &growth, sizeof growth);
        _exit(written == sizeof growth ? 0 : 1);
    }
    close(channel[1]);
    double growth = -1;
    if (read(channel[0], &growth, sizeof growth) != sizeof growth) {
        growth = -1;
    }
    close(channel[0]);
    waitpid(child, nullptr, 0);
    if (growth < 0) {
        throw std::runtime_error("the measured page failed");
    }
    return growth;
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

// A page with its view, its paths set as the file dialogs would set them.
struct PageRun {
    Page& page;
    MemoryDialogView& view;
    int runButton;

    void operator()() const {
        commandPage(page, view, runButton, 0, 0);
        if (!view.messageBoxes().empty() && view.messageBoxes().back().caption == u"Ошибка") {
            throw std::runtime_error("the page reported " +
                                     wideToUtf8(view.messageBoxes().back().text));
        }
    }
};

bool report(const char* name, double direct, double page) {
    const double ratio = direct / page;
    std::printf("%-8s 256 MiB: direct %.3f s, page %.3f s, ratio %.3f (target >= 0.97)\n", name,
                direct, page, ratio);
    return ratio >= 0.97;
}

bool reportMemory(const char* name, double growth, double limit) {
    std::printf("%-8s page peak growth: %.1f MiB (target <= %.1f MiB)\n", name, growth, limit);
    return growth <= limit;
}

int run() {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "workstation-page-bench";
    std::filesystem::create_directories(folder);
    const auto path = [&](const char* name) { return (folder / name).string(); };
    emulator::saveState(path("state.json"), emulator::demoState());
    bench::setVariable("QRD_EMULATOR_STATE", path("state.json"));
    bench::setVariable("QRD_EMULATOR_FAULTS", "[]");
    writeInput(path("input.bin"));

    initializeToken();
    Token& token = *Token::instance();
    token.login("12345678");
    // The 2012-256 key pair and the first secret key of the demo token.
    const PrivateKey privateKey = token.getPrivateKeys().at(1);
    const PublicKey publicKey = token.getPublicKeys().at(1);
    const SecretKey secretKey = token.getSecretKeys().at(0);
    const token::MechanismPair mechanisms = token::mechanismsFor(privateKey.getAlgorithm());

    MemoryDialogView hashView;
    HashPage hashPage;
    hashPage.start(hashView);
    hashView.control(IDC_HASH_INPUT).text = utf8ToWide(path("input.bin"));
    hashView.control(IDC_HASH_OUTPUT).text = utf8ToWide(path("page.dig"));
    hashView.control(IDC_HASH_GOST12_256).check = 1;

    MemoryDialogView signView;
    SignPage signPage;
    signPage.start(signView);
    signView.control(IDC_SIGN_KEY).selection = 1;
    signView.control(IDC_SIGN_INPUT).text = utf8ToWide(path("input.bin"));
    signView.control(IDC_SIGN_SIGNATURE).text = utf8ToWide(path("page.sig"));

    MemoryDialogView verifyView;
    VerifyPage verifyPage;
    verifyPage.start(verifyView);
    verifyView.control(IDC_VERIFY_KEY).selection = 1;
    verifyView.control(IDC_VERIFY_INPUT).text = utf8ToWide(path("input.bin"));
    verifyView.control(IDC_VERIFY_SIGNATURE).text = utf8ToWide(path("page.sig"));

    MemoryDialogView encryptView;
    EncryptPage encryptPage;
    encryptPage.start(encryptView);
    encryptView.control(IDC_CRYPT_INPUT).text = utf8ToWide(path("input.bin"));
    encryptView.control(IDC_CRYPT_OUTPUT).text = utf8ToWide(path("page.enc"));

    const PageRun pages[] = {{hashPage, hashView, IDC_HASH_RUN},
                             {signPage, signView, IDC_SIGN_RUN},
                             {verifyPage, verifyView, IDC_VERIFY_RUN},
                             {encryptPage, encryptView, IDC_CRYPT_RUN}};
    const std::function<void()> directs[] = {
        [&] {
            writeFile(path("direct.dig"),
                      token.digest(readFile(path("input.bin")), CKM_GOSTR3411_12_256));
        },
        [&] {
            writeFile(path("direct.sig"), token.sign(privateKey, readFile(path("input.bin")),
                                                     mechanisms.digest, mechanisms.signature));
        },
        [&] {
            const Bytes signature = readFile(path("page.sig"));
            if (!token.verify(publicKey, readFile(path("input.bin")), signature, mechanisms.digest,
                              mechanisms.signature)) {
                throw std::runtime_error("the page's signature does not verify");
            }
        },
        [&] {
            writeFile(path("direct.enc"), token.encrypt(secretKey, readFile(path("input.bin"))));
        }};
    const char* names[] = {"hash", "sign", "verify", "encrypt"};

    const double hashGrowth = peakGrowth(pages[0]);
    const double encryptGrowth = peakGrowth(pages[3]);

    bool passed = true;
    for (std::size_t i = 0; i < std::size(pages); ++i) {
        double direct = 1e30;
        double page = 1e30;
        for (int round = 0; round < kRounds; ++round) {
            page = std::min(page, seconds(pages[i]));
            direct = std::min(direct, seconds(directs[i]));
        }
        passed = report(names[i], direct, page) && passed;
    }
    if (verifyView.messageBoxes().back().text != u"Подпись достоверна") {
        std::printf("the verification page did not accept the signing page's signature\n");
        passed = false;
    }
    if (readFile(path("page.dig")) != readFile(path("direct.dig")) ||
        readFile(path("page.enc")) != readFile(path("direct.enc"))) {
        std::printf("the pages' files differ from the direct ones\n");
        passed = false;
    }
    passed = reportMemory("hash", hashGrowth, (kSize + (16 << 20)) / kMiB) && passed;
    passed = reportMemory("encrypt", encryptGrowth, (2 * kSize + (16 << 20)) / kMiB) && passed;
    finalizeToken();
    std::filesystem::remove_all(folder);
    std::printf("%s\n", passed ? "PASS" : "FAIL");
    return passed ? 0 : 1;
}

} // namespace

int main() {
    return bench::runBenchmark(run);
}
