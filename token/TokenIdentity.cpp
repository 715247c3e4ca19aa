#include "token/TokenIdentity.h"

#include <string_view>

namespace token {

std::string trimTrailingBlanks(const CK_UTF8CHAR* field, std::size_t size) {
    while (size > 0 && field[size - 1] == ' ') {
        --size;
    }
    return {reinterpret_cast<const char*>(field), size};
}

ModelCheck checkModel(const CK_UTF8CHAR (&model)[16]) {
    const std::string_view text(reinterpret_cast<const char*>(model), sizeof model);
    const bool screenModel = text.find("Veltora Lumora 2") != std::string_view::npos;
    const bool plainModel = text.find("Veltora QRD") != std::string_view::npos;
    return {screenModel || plainModel, screenModel};
}

} // namespace token
