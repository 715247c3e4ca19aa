#pragma once

#include <cstddef>
#include <string>

// Overwrites memory that held a secret, in a way the compiler may not optimise away.
void secureWipe(void* data, std::size_t size) noexcept;

inline void secureWipe(std::string& text) noexcept {
    secureWipe(text.data(), text.size());
    text.clear();
}
