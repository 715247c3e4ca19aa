#include "support/TextConversion.h"

#include "support/WindowTextBuffer.h"

#include <cstddef>
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

namespace {

bool isContinuation(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// Whether `tail` is the start of a well-formed UTF-8 sequence that lacks its last bytes: its
// lead byte asks for more bytes than follow, and those that follow are allowed where they
// stand (after E0 only A0..BF, after ED 80..9F, after F0 90..BF, after F4 80..8F). So the
// start of a surrogate (ED A0) or of a value above U+10FFFF (F4 90) is no cut letter.
bool isCutSequence(std::string_view tail) {
    const auto lead = static_cast<unsigned char>(tail.front());
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    }
    if (tail.size() >= length) {
        return false;
    }
    for (std::size_t i = 1; i < tail.size(); ++i) {
        const auto byte = static_cast<unsigned char>(tail[i]);
        if (byte < (i == 1 ? low : 0x80) || byte > (i == 1 ? high : 0xBF)) {
            return false;
        }
    }
    return true;
}

} // namespace

std::u16string labelToWide(std::string_view label) {
    // Where a cut sequence would start: the last byte, or the lead byte before at most two
    // continuation bytes at the end.
    std::size_t cut = label.empty() ? 0 : label.size() - 1;
    while (cut > 0 && label.size() - cut < 3 && isContinuation(label[cut])) {
        --cut;
    }
    if (!label.empty() && isCutSequence(label.substr(cut))) {
        label = label.substr(0, cut);
    }
    try {
        return utf8ToWide(label);
    } catch (const utf8::exception&) {
        return u"Некорректная строка";
    }
}

std::string wideToUtf8(std::u16string_view text) {
    std::string narrow;
    // Room for the longest result, three bytes per unit (a pair of surrogates makes four): the
    // text may be a PIN, and a buffer that grew would leave a copy of it behind.
    narrow.reserve(3 * text.size());
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
