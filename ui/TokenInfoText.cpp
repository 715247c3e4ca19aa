#include "ui/TokenInfoText.h"

#include <cstdio>
#include <iomanip>
#include <sstream>

std::string formatSerialNumber(std::string_view serialNumber) {
    std::istringstream stream{std::string(serialNumber)};
    std::uint32_t value = 0;
    // Stream extraction sets the value to the type's maximum on overflow; such a number and
    // one that cannot be read at all both count as 0.
    if (!(stream >> std::hex >> value)) {
        value = 0;
    }
    char text[11];
    std::snprintf(text, sizeof text, "%010lu", static_cast<unsigned long>(value));
    return text;
}

std::string formatChecksum(std::uint32_t checksum, bool invalid) {
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08lx", static_cast<unsigned long>(checksum));
    return std::string(digits) + (invalid ? " (Неверная контрольная сумма)" : " (OK)");
}
