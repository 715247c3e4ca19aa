#include "support/TextConversion.h"

#include "support/WindowTextBuffer.h"

#include <iterator>
#include <utf8.h>

std::u16string utf8ToWide(std::string_view text) {
    std::u16string wide;
    wide.reserve(text.size());
    utf8::utf8to16(text.begin(), text.end(), std::back_inserter(wide));
    return wide;
}

std::u16string utf8ToWideForDisplay(std::string_view text) {
    try {
        return utf8ToWide(text);
    } catch (const utf8::invalid_utf8&) {
        return u"Некорректная строка";
    }
}

std::string wideToUtf8(std::u16string_view text) {
    std::string narrow;
    narrow.reserve(text.size());
    utf8::utf16to8(text.begin(), text.end(), std::back_inserter(narrow));
    return narrow;
}

std::string windowTextToUtf8(WindowTextBuffer& buffer) {
    struct ReleaseOnExit {
        WindowTextBuffer& buffer;
        ~ReleaseOnExit() { buffer.release(); }
    } releaseOnExit{buffer};
    return wideToUtf8(buffer.text());
}

std::u16string formatUnsigned(std::uint64_t value) {
    char16_t digits[20];
    char16_t* begin = std::end(digits);
    do {
        *--begin = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    return {begin, std::end(digits)};
}
