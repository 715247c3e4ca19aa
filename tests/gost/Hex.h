// Hexadecimal text of test vectors.
#pragma once

#include "emulator/crypto/Gost.h"

#include <stdexcept>
#include <string>
#include <string_view>

namespace testhex {

inline gost::Bytes fromHex(std::string_view text) {
    auto nibble = [](char c) -> unsigned {
        if (c >= '0' && c <= '9') {
            return static_cast<unsigned>(c - '0');
        }
        if (c >= 'a' && c <= 'f') {
            return static_cast<unsigned>(c - 'a' + 10);
        }
        if (c >= 'A' && c <= 'F') {
            return static_cast<unsigned>(c - 'A' + 10);
        }
        throw std::invalid_argument("not a hexadecimal digit");
    };
    if (text.size() % 2 != 0) {
        throw std::invalid_argument("odd number of hexadecimal digits");
    }
    gost::Bytes bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        bytes.push_back(static_cast<unsigned char>(nibble(text[i]) << 4 | nibble(text[i + 1])));
    }
    return bytes;
}

inline std::string toHex(gost::ByteView bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0xF];
    }
    return text;
}

inline gost::Bytes bytesOf(std::string_view text) {
    return {text.begin(), text.end()};
}

} // namespace testhex
