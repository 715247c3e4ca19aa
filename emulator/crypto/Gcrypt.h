// The libgcrypt plumbing shared by the GOST functions: one-time initialisation, error
// reporting and owners of libgcrypt's S-expressions and numbers.
#pragma once

#include "emulator/crypto/Gost.h"

#include <gcrypt.h>
#include <utility>

namespace gost::detail {

// Initialises libgcrypt once per process, unless the host program already did.
void initialise();

[[noreturn]] void fail(const char* call, gcry_error_t error);

inline void check(gcry_error_t error, const char* call) {
    if (error != 0) {
        fail(call, error);
    }
}

class Sexp {
public:
    Sexp() = default;
    explicit Sexp(gcry_sexp_t sexp) noexcept : sexp_(sexp) {}
    ~Sexp() { gcry_sexp_release(sexp_); }
    Sexp(const Sexp&) = delete;
    Sexp& operator=(const Sexp&) = delete;
    Sexp(Sexp&& other) noexcept : sexp_(std::exchange(other.sexp_, nullptr)) {}
    Sexp& operator=(Sexp&&) = delete;

    gcry_sexp_t get() const noexcept { return sexp_; }
    gcry_sexp_t* out() noexcept { return &sexp_; }

    // The sub-list that starts with `token`; throws when there is none.
    Sexp find(const char* token) const;

private:
    gcry_sexp_t sexp_ = nullptr;
};

class Mpi {
public:
    Mpi() = default;
    explicit Mpi(gcry_mpi_t mpi) noexcept : mpi_(mpi) {}
    ~Mpi() { gcry_mpi_release(mpi_); }
    Mpi(const Mpi&) = delete;
    Mpi& operator=(const Mpi&) = delete;
    Mpi(Mpi&& other) noexcept : mpi_(std::exchange(other.mpi_, nullptr)) {}
    Mpi& operator=(Mpi&&) = delete;

    gcry_mpi_t get() const noexcept { return mpi_; }

    // The number as an unsigned big-endian value left-padded with zeros to `size` bytes.
    Bytes bigEndian(std::size_t size) const;

private:
    gcry_mpi_t mpi_ = nullptr;
};

// The second element of a list such as (r #...#), as a number; throws when there is none.
Mpi numberOf(const Sexp& list);

Bytes reversed(ByteView bytes);

} // namespace gost::detail
