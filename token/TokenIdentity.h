// Reading the token's identity from the fixed-width, blank-padded fields of CK_TOKEN_INFO.
#pragma once

#include "token/Cryptoki.h"

#include <cstddef>
#include <string>

namespace token {

// The field with trailing blanks (0x20) removed; nothing else is touched.
std::string trimTrailingBlanks(const CK_UTF8CHAR* field, std::size_t size);

struct ModelCheck {
    bool supported;
    bool screenModel;
};

// Searches all 16 bytes of the model field, blanks included, for the two supported models.
ModelCheck checkModel(const CK_UTF8CHAR (&model)[16]);

} // namespace token
