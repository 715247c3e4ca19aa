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

// A token's or key's label for display; never throws a conversion failure. Labels live in
// fixed fields or were cut by the tool that wrote them, often inside their last letter: a
// text whose only fault is a sequence cut short at its very end shows the text before the
// cut. Any other text that is not UTF-8 (a surrogate or a value above U+10FFFF included)
// becomes "Некорректная строка".
std::u16string labelToWide(std::string_view label);

// Throws utf8::invalid_utf16 for an unpaired surrogate. The result is written into one buffer
// made at once, so that no copy of a secret is left in memory given back meanwhile.
std::string wideToUtf8(std::u16string_view text);

// The buffer's text up to its first zero unit, as UTF-8. The buffer is emptied whether or not
// the conversion succeeds.
std::string windowTextToUtf8(WindowTextBuffer& buffer);

// Decimal digits without sign, grouping or leading zeros.
std::u16string formatUnsigned(std::uint64_t value);
