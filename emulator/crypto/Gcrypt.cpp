#include "emulator/crypto/Gcrypt.h"

#include <algorithm>
#include <mutex>
#include <string>

namespace gost::detail {

namespace {

// The oldest libgcrypt with the meshing GOST 28147 cipher and every curve name of Curves.cpp.
constexpr const char* kMinimumVersion = "1.10.0";

void initialiseOnce() {
    // The module may be loaded into a program that uses libgcrypt itself: a finished
    // initialisation is the host's and is left as it is.
    if (gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P) != 0) {
        if (gcry_check_version(kMinimumVersion) == nullptr) {
            throw CryptoError(std::string("libgcrypt ") + kMinimumVersion +
                              " or newer is needed, the process has " +
                              gcry_check_version(nullptr));
        }
        return;
    }
    if (gcry_check_version(kMinimumVersion) == nullptr) {
        throw CryptoError(std::string("libgcrypt ") + kMinimumVersion +
                          " or newer is needed, found " + gcry_check_version(nullptr));
    }
    // Secure memory would need mlock rights that a token module loaded by an ordinary
    // program lacks, and libgcrypt would print warnings into the host's terminal. Key values
    // pass through ordinary memory here and are wiped by their owners.
    check(gcry_control(GCRYCTL_DISABLE_SECMEM, 0), "GCRYCTL_DISABLE_SECMEM");
    check(gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0), "GCRYCTL_INITIALIZATION_FINISHED");
}

} // namespace

void initialise() {
    static std::once_flag once;
    std::call_once(once, initialiseOnce);
}

void fail(const char* call, gcry_error_t error) {
    throw CryptoError(std::string(call) + ": " + gcry_strsource(error) + ": " +
                      gcry_strerror(error));
}

Sexp Sexp::find(const char* token) const {
    Sexp found(gcry_sexp_find_token(sexp_, token, 0));
    if (found.get() == nullptr) {
        throw CryptoError(std::string("libgcrypt's answer has no \"") + token + "\" element");
    }
    return found;
}

Bytes Mpi::bigEndian(std::size_t size) const {
    std::size_t length = 0;
    check(gcry_mpi_print(GCRYMPI_FMT_USG, nullptr, 0, &length, mpi_), "gcry_mpi_print");
    if (length > size) {
        throw CryptoError("a number from libgcrypt is longer than " + std::to_string(size) +
                          " bytes");
    }
    Bytes value(size, 0);
    check(gcry_mpi_print(GCRYMPI_FMT_USG, value.data() + (size - length), length, &length, mpi_),
          "gcry_mpi_print");
    return value;
}

Mpi numberOf(const Sexp& list) {
    Mpi number(gcry_sexp_nth_mpi(list.get(), 1, GCRYMPI_FMT_USG));
    if (number.get() == nullptr) {
        throw CryptoError("libgcrypt's answer holds no number where one was expected");
    }
    return number;
}

Bytes reversed(ByteView bytes) {
    return Bytes(bytes.rbegin(), bytes.rend());
}

} // namespace gost::detail
