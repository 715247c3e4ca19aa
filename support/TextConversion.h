// Conversion between the UTF-8 text used inside the workstation and the UTF-16 text of the
// window system. Malformed text is rejected with utfcpp's exceptions, whose texts the user
// may read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class WindowTextBuffer;

// Throws utf8::invalid_utf8, utf8::not_enough_room or utf8::invalid_code_point.
std::u16string utf8ToWide(std::string_view text);

// As utf8ToWide, but text that is not UTF-8 at all (utf8::invalid_utf8) becomes
// "Некорректная строка"; the other two failures are thrown.
std::u16string utf8ToWideForDisplay(std::string_view text);

// Throws utf8::invalid_utf16 for an unpaired surrogate.
std::string wideToUtf8(std::u16string_view text);

// The buffer's text up to its first zero unit, as UTF-8. The buffer is emptied whether or not
// the conversion succeeds.
std::string windowTextToUtf8(WindowTextBuffer& buffer);

// Decimal digits without sign, grouping or leading zeros.
std::u16string formatUnsigned(std::uint64_t value);
