// Sizes handed to the module as CK_ULONG, which is 32 bits wide on Windows, and sizes it
// reports back.
#pragma once

#include "token/Cryptoki.h"
#include "token/Exception.h"

#include <cstddef>
#include <cstdint>
#include <limits>

namespace token {

// The most bytes the token takes in one call: 4 GiB - 1 on Windows. Inputs are refused from
// their size against it before they are read.
inline constexpr std::uint64_t kLongestInput = std::numeric_limits<CK_ULONG>::max();

// Refuses a size the module's lengths cannot carry rather than truncating it.
inline CK_ULONG toLength(std::size_t size) {
    if constexpr (sizeof(std::size_t) > sizeof(CK_ULONG)) {
        if (size > std::numeric_limits<CK_ULONG>::max()) {
            throw DataTooLargeException();
        }
    }
    return static_cast<CK_ULONG>(size);
}

// A length a size query answered with CKR_OK, before a buffer of that size is made. "Unavailable"
// (all bits set) belongs with an error code only; taken as a size it would be 4 GiB on Windows.
// So is any length above `largest`, the most the call can produce: the buffer would be made
// and handed over for bytes that can never come.
inline std::size_t reportedLength(CK_ULONG length, std::size_t largest) {
    if (length == CK_UNAVAILABLE_INFORMATION || length > largest) {
        throw ModuleAnswerException();
    }
    return static_cast<std::size_t>(length);
}

} // namespace token
