#pragma once

#include <cstddef>
#include <string>

// Overwrites memory that held a secret, in a way the compiler may not optimise away.
void secureWipe(void* data, std::size_t size) noexcept;

inline void secureWipe(std::string& text) noexcept {
    secureWipe(text.data(), text.size());
    text.clear();
}

// Wipes a string that holds a secret when it leaves scope, on every path, and empties it.
template <typename Text>
class WipeOnExit {
public:
    explicit WipeOnExit(Text& text) noexcept : text_(text) {}
    WipeOnExit(const WipeOnExit&) = delete;
    WipeOnExit& operator=(const WipeOnExit&) = delete;
    ~WipeOnExit() {
        secureWipe(text_.data(), text_.size() * sizeof(typename Text::value_type));
        text_.clear();
    }

private:
    Text& text_;
};
