// The software token's digests and encryption of 256 MiB through its PKCS#11 functions
// (C_Digest, C_Encrypt) against libgcrypt called directly on the same buffer, in one run.
// Target: ratio (libgcrypt time / token time) at least 0.95 for each.
#include "emulator/core/Module.h"
#include "emulator/core/StateFile.h"
#include "tests/bench/BenchSupport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gcrypt.h>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

using bench::check;
using bench::setVariable;

constexpr std::size_t kSize = std::size_t{256} << 20;
constexpr int kRounds = 3;

using Bytes = std::vector<unsigned char>;

void checkGcrypt(gcry_error_t error, const char* call) {
    if (error != 0) {
        throw std::runtime_error(std::string(call) + ": " + gcry_strerror(error));
    }
}

double seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The best of kRounds runs of each, alternating, so that a load that comes and goes on the
// machine touches both sides alike. Returns {direct, token} seconds.
std::pair<double, double> bestTimes(const std::function<void()>& direct,
                                    const std::function<void()>& token) {
    double bestDirect = 1e300;
    double bestToken = 1e300;
    for (int round = 0; round < kRounds; ++round) {
        bestDirect = std::min(bestDirect, seconds(direct));
        bestToken = std::min(bestToken, seconds(token));
    }
    return {bestDirect, bestToken};
}

struct Token {
    CK_FUNCTION_LIST_PTR list = nullptr;
    CK_SESSION_HANDLE session = 0;
    CK_OBJECT_HANDLE secretKey = 0;
    Bytes secretValue;
};

Token openToken(const std::string& statePath) {
    emulator::State state = emulator::demoState();
    Token token;
    for (const emulator::KeyObject& object : state.slots.front()->objects) {
        if (object.objectClass == emulator::ObjectClass::Secret) {
            token.secretKey = object.handle;
            token.secretValue = object.value;
            break;
        }
    }
    emulator::saveState(statePath, state);
    setVariable("QRD_EMULATOR_STATE", statePath);
    check(qrdGetFunctionList(&token.list), "C_GetFunctionList");
    check(token.list->C_Initialize(nullptr), "C_Initialize");
    check(token.list->C_OpenSession(1, CKF_SERIAL_SESSION, nullptr, nullptr, &token.session),
          "C_OpenSession");
    const char* pin = "12345678";
    check(token.list->C_Login(token.session, CKU_USER,
                              reinterpret_cast<CK_UTF8CHAR_PTR>(const_cast<char*>(pin)), 8),
          "C_Login");
    return token;
}

void report(const char* what, double direct, double token) {
    const double mib = static_cast<double>(kSize) / (1 << 20);
    std::printf("%-22s libgcrypt %7.1f MiB/s  token %7.1f MiB/s  ratio %.3f %s\n", what,
                mib / direct, mib / token, direct / token,
                direct / token >= 0.95 ? "ok" : "BELOW 0.95");
}

bool benchDigest(const Token& token, Bytes& data, const char* name, CK_MECHANISM_TYPE mechanism,
                 int algorithm) {
    Bytes direct(gcry_md_get_algo_dlen(algorithm));
    Bytes viaToken(64);
    const auto [directTime, tokenTime] = bestTimes(
        [&] { gcry_md_hash_buffer(algorithm, direct.data(), data.data(), data.size()); },
        [&] {
            CK_MECHANISM digestMechanism{mechanism, nullptr, 0};
            check(token.list->C_DigestInit(token.session, &digestMechanism), "C_DigestInit");
            CK_ULONG length = viaToken.size();
            check(token.list->C_Digest(token.session, data.data(), data.size(), viaToken.data(),
                                       &length),
                  "C_Digest");
            viaToken.resize(length);
        });
    report(name, directTime, tokenTime);
    if (viaToken != direct) {
        std::printf("  the token's digest differs from libgcrypt's\n");
        return false;
    }
    return directTime / tokenTime >= 0.95;
}

bool benchEncrypt(const Token& token, Bytes& data) {
    unsigned char iv[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    Bytes direct(data.size());
    Bytes viaToken(data.size());
    const auto directWork = [&] {
        gcry_cipher_hd_t cipher = nullptr;
        checkGcrypt(gcry_cipher_open(&cipher, GCRY_CIPHER_GOST28147_MESH, GCRY_CIPHER_MODE_CFB, 0),
                    "gcry_cipher_open");
        checkGcrypt(
            gcry_cipher_ctl(cipher, GCRYCTL_SET_SBOX, const_cast<char*>("1.2.643.2.2.31.1"), 0),
            "gcry_cipher_set_sbox");
        checkGcrypt(gcry_cipher_setkey(cipher, token.secretValue.data(), token.secretValue.size()),
                    "gcry_cipher_setkey");
        checkGcrypt(gcry_cipher_setiv(cipher, iv, sizeof iv), "gcry_cipher_setiv");
        checkGcrypt(
            gcry_cipher_encrypt(cipher, direct.data(), direct.size(), data.data(), data.size()),
            "gcry_cipher_encrypt");
        gcry_cipher_close(cipher);
    };
    const auto tokenWork = [&] {
        CK_MECHANISM mechanism{CKM_GOST28147, iv, sizeof iv};
        check(token.list->C_EncryptInit(token.session, &mechanism, token.secretKey),
              "C_EncryptInit");
        CK_ULONG length = viaToken.size();
        check(token.list->C_Encrypt(token.session, data.data(), data.size(), viaToken.data(),
                                    &length),
              "C_Encrypt");
    };
    const auto [directTime, tokenTime] = bestTimes(directWork, tokenWork);
    report("C_Encrypt GOST28147", directTime, tokenTime);
    if (viaToken != direct) {
        std::printf("  the token's cipher text differs from libgcrypt's\n");
        return false;
    }
    return directTime / tokenTime >= 0.95;
}

} // namespace

int main() {
    try {
        const std::string statePath =
            (std::filesystem::temp_directory_path() / "qrd-emulator-bench.json").string();
        Token token = openToken(statePath);
        Bytes data(kSize);
        for (std::size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<unsigned char>(i * 2654435761U >> 24);
        }
        bool ok = true;
        ok &= benchDigest(token, data, "C_Digest 34.11-94", CKM_GOSTR3411, GCRY_MD_GOSTR3411_CP);
        ok &= benchDigest(token, data, "C_Digest Streebog-256", CKM_GOSTR3411_12_256,
                          GCRY_MD_STRIBOG256);
        ok &= benchDigest(token, data, "C_Digest Streebog-512", CKM_GOSTR3411_12_512,
                          GCRY_MD_STRIBOG512);
        ok &= benchEncrypt(token, data);
        token.list->C_Finalize(nullptr);
        std::filesystem::remove(statePath);
        std::filesystem::remove(statePath + ".lock");
        return ok ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "emulator_bench: %s\n", error.what());
        return 2;
    }
}
