// The token's serial number and checksum as the main window shows them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The serial number's text read as a 32-bit hexadecimal number (leading blanks skipped,
// reading stops at the first other character; 0 when nothing is read or the value does not
// fit), written as ten decimal digits: "0012AB34" is "0001223476".
std::string formatSerialNumber(std::string_view serialNumber);

// Eight lower-case hexadecimal digits and the verdict: "001a2b3c (OK)", or
// "ffffffff (Неверная контрольная сумма)" when the checksum is invalid.
std::string formatChecksum(std::uint32_t checksum, bool invalid);
