// Sizes handed to the module as CK_ULONG, which is 32 bits wide on Windows.
#pragma once

#include "token/Cryptoki.h"
#include "token/Exception.h"

#include <cstddef>
#include <limits>

namespace token {

// Refuses a size the module's lengths cannot carry rather than truncating it.
inline CK_ULONG toLength(std::size_t size) {
    if constexpr (sizeof(std::size_t) > sizeof(CK_ULONG)) {
        if (size > std::numeric_limits<CK_ULONG>::max()) {
            throw DataTooLargeException();
        }
    }
    return static_cast<CK_ULONG>(size);
}

} // namespace token
