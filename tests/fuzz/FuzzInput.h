// The fuzz input read as a stream of choices. Past its end every read gives zeros, and zero is
// always the ordinary choice, so a short input runs the usual path and the fuzzer lengthens it
// to reach the others.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

class FuzzInput {
public:
    FuzzInput() = default;
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool exhausted() const noexcept { return next_ >= size_; }

    std::uint8_t byte() noexcept { return exhausted() ? 0 : data_[next_++]; }

    // Little-endian.
    std::uint32_t u32() noexcept {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            value |= static_cast<std::uint32_t>(byte()) << (8 * i);
        }
        return value;
    }

    // `count` bytes, zeros past the end.
    std::vector<unsigned char> bytes(std::size_t count) {
        std::vector<unsigned char> taken(count);
        for (unsigned char& b : taken) {
            b = byte();
        }
        return taken;
    }

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t next_ = 0;
};

// A fault of the code under test that no sanitizer sees: reported and ended like a crash, so
// that libFuzzer keeps the input and a replay fails.
[[noreturn]] inline void finding(const char* what, const char* detail = "") {
    std::fprintf(stderr, "FINDING: %s%s%s\n", what, *detail != '\0' ? ": " : "", detail);
    std::abort();
}
