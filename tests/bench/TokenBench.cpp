// Hashing and encrypting 256 MiB through Token::digest and Token::encrypt against the same
// module functions called directly, in one run; and the peak memory of Token::encrypt.
// Targets: throughput ratio (direct time / Token time) at least 0.95 for both; encrypt's
// peak at most input + output + 16 MiB.
#include "emulator/core/StateFile.h"
#include "tests/bench/BenchSupport.h"
#include "token/Token.h"
#include "token/platform/ModuleLoader.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

using bench::check;
using bench::peakMemory;
using bench::seconds;
using bench::setVariable;

constexpr std::size_t kSize = std::size_t{256} << 20;
constexpr int kRounds = 3;

// The module's own list and a session of its own, on the token the Token has logged in to.
struct Direct {
    CK_FUNCTION_LIST_PTR list = nullptr;
    CK_SESSION_HANDLE session = 0;

    Direct() {
        void* library = token::platform::loadLibrary(token::platform::moduleFileName());
        auto getList = reinterpret_cast<CK_C_GetFunctionList>(
            token::platform::findSymbol(library, "C_GetFunctionList"));
        check(getList(&list), "C_GetFunctionList");
        CK_SLOT_ID slot = 0;
        CK_ULONG count = 1;
        check(list->C_GetSlotList(CK_TRUE, &slot, &count), "C_GetSlotList");
        check(list->C_OpenSession(slot, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr,
                                  &session),
              "C_OpenSession");
    }

    std::unique_ptr<unsigned char[]> digest(const Bytes& data, CK_MECHANISM_TYPE type) {
        CK_MECHANISM mechanism{type, nullptr, 0};
        check(list->C_DigestInit(session, &mechanism), "C_DigestInit");
        CK_ULONG length = 0;
        auto* in = const_cast<unsigned char*>(data.data());
        check(list->C_Digest(session, in, data.size(), nullptr, &length), "C_Digest");
        std::unique_ptr<unsigned char[]> out(new unsigned char[length]);
        check(list->C_Digest(session, in, data.size(), out.get(), &length), "C_Digest");
        return out;
    }

    std::unique_ptr<unsigned char[]> encrypt(const Bytes& data, CK_OBJECT_HANDLE key) {
        unsigned char iv[8] = {};
        CK_MECHANISM mechanism{CKM_GOST28147, iv, sizeof iv};
        check(list->C_EncryptInit(session, &mechanism, key), "C_EncryptInit");
        CK_ULONG length = 0;
        auto* in = const_cast<unsigned char*>(data.data());
        check(list->C_Encrypt(session, in, data.size(), nullptr, &length), "C_Encrypt");
        std::unique_ptr<unsigned char[]> out(new unsigned char[length]);
        check(list->C_Encrypt(session, in, data.size(), out.get(), &length), "C_Encrypt");
        return out;
    }
};

int run() {
    const std::string statePath =
        (std::filesystem::temp_directory_path() / "qrd-token-bench.json").string();
    emulator::saveState(statePath, emulator::demoState());
    setVariable("QRD_EMULATOR_STATE", statePath);
    setVariable("QRD_EMULATOR_FAULTS", "[]");

    initializeToken();
    Token& token = *Token::instance();
    token.login("12345678");
    const SecretKey key = token.getSecretKeys().at(0);
    Direct direct;

    const std::size_t before = peakMemory();
    Bytes input(kSize);
    for (std::size_t i = 0; i < input.size(); ++i) {
        input[i] = static_cast<unsigned char>(i * 31 + (i >> 12));
    }
    double tokenEncrypt = seconds([&] { token.encrypt(key, input); });
    const double growth = static_cast<double>(peakMemory() - before) / (1 << 20);
    const double limit = static_cast<double>(2 * kSize + (std::size_t{16} << 20)) / (1 << 20);

    double directEncrypt = 1e30;
    double tokenDigest = 1e30;
    double directDigest = 1e30;
    for (int round = 0; round < kRounds; ++round) {
        directEncrypt =
            std::min(directEncrypt, seconds([&] { direct.encrypt(input, key.getHandle()); }));
        tokenEncrypt = std::min(tokenEncrypt, seconds([&] { token.encrypt(key, input); }));
        directDigest =
            std::min(directDigest, seconds([&] { direct.digest(input, CKM_GOSTR3411_12_256); }));
        tokenDigest =
            std::min(tokenDigest, seconds([&] { token.digest(input, CKM_GOSTR3411_12_256); }));
    }
    direct.list->C_CloseSession(direct.session);
    finalizeToken();
    std::filesystem::remove(statePath);
    std::filesystem::remove(statePath + ".lock");

    const double digestRatio = directDigest / tokenDigest;
    const double encryptRatio = directEncrypt / tokenEncrypt;
    const bool passed = digestRatio >= 0.95 && encryptRatio >= 0.95 && growth <= limit;
    std::printf("digest  256 MiB: direct %.3f s, Token %.3f s, ratio %.3f (target >= 0.95)\n",
                directDigest, tokenDigest, digestRatio);
    std::printf("encrypt 256 MiB: direct %.3f s, Token %.3f s, ratio %.3f (target >= 0.95)\n",
                directEncrypt, tokenEncrypt, encryptRatio);
    std::printf("encrypt peak growth: %.1f MiB (target <= %.1f MiB)\n", growth, limit);
    std::printf("%s\n", passed ? "PASS" : "FAIL");
    return passed ? 0 : 1;
}

} // namespace

int main() {
    return bench::runBenchmark(run);
}
