// Text: every conversion of support/ (and the serial number's, which reads the token's bytes)
// on the input, taken as UTF-8 and as UTF-16 units. A conversion refuses what it documents it
// refuses; what it gives is well-formed; valid text converts back to itself.
#include "FuzzInput.h"
#include "support/TextConversion.h"
#include "support/WindowTextBuffer.h"
#include "ui/TokenInfoText.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utf8.h>

namespace {

bool wellFormed(std::u16string_view text) {
    try {
        std::string ignored;
        utf8::utf16to8(text.begin(), text.end(), std::back_inserter(ignored));
        return true;
    } catch (const utf8::invalid_utf16&) {
        return false;
    }
}

void narrowText(std::string_view bytes) {
    const bool valid = utf8::is_valid(bytes.begin(), bytes.end());
    try {
        const std::u16string wide = utf8ToWide(bytes);
        if (!valid || !wellFormed(wide) || wideToUtf8(wide) != bytes) {
            finding("utf8ToWide gave what is not the text");
        }
    } catch (const utf8::exception&) {
        // invalid_utf8, not_enough_room or invalid_code_point, the three documented refusals
        if (valid) {
            finding("utf8ToWide refused valid text");
        }
    }
    try {
        if (!wellFormed(utf8ToWideForDisplay(bytes))) {
            finding("utf8ToWideForDisplay gave ill-formed text");
        }
    } catch (const utf8::invalid_utf8&) {
        finding("utf8ToWideForDisplay refused text that is not UTF-8");
    } catch (const utf8::exception&) {
    }
    const std::u16string label = labelToWide(bytes);
    if (!wellFormed(label) || (valid && label != utf8ToWide(bytes))) {
        finding("labelToWide gave what is not the label");
    }
    const std::string serial = formatSerialNumber(bytes);
    if (serial.size() != 10 || serial.find_first_not_of("0123456789") != std::string::npos) {
        finding("formatSerialNumber gave what is not ten digits");
    }
}

void wideText(std::u16string_view units) {
    const bool valid = wellFormed(units);
    try {
        const std::string narrow = wideToUtf8(units);
        if (!valid || !utf8::is_valid(narrow.begin(), narrow.end()) ||
            utf8ToWide(narrow) != units) {
            finding("wideToUtf8 gave what is not the text");
        }
    } catch (const utf8::invalid_utf16&) {
        if (valid) {
            finding("wideToUtf8 refused valid text");
        }
    }
    // A window text of any capacity: at most capacity - 1 units up to the first zero, and the
    // buffer emptied after the conversion, whether or not it succeeds.
    const std::size_t capacity = units.empty() ? 0 : units.front() % 300;
    WindowTextBuffer buffer(capacity);
    buffer.assign(units);
    const std::u16string_view shown = buffer.text();
    if (capacity > 0 && (shown.size() >= capacity || shown != units.substr(0, shown.size()))) {
        finding("a window text buffer holds what it was not given");
    }
    const std::u16string copy(shown);
    std::string converted;
    try {
        converted = windowTextToUtf8(buffer);
    } catch (const utf8::invalid_utf16&) {
        converted = "\xFF"; // no conversion gives this
    }
    if (wellFormed(copy) ? converted != wideToUtf8(copy) : converted != "\xFF") {
        finding("windowTextToUtf8 gave another text");
    }
    if (buffer.capacity() != 0) {
        finding("a window text buffer kept its text");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    narrowText({reinterpret_cast<const char*>(data), size});

    std::u16string units(size / 2, u'\0');
    std::memcpy(units.data(), data, units.size() * sizeof(char16_t));
    wideText(units);

    std::uint64_t value = 0;
    std::memcpy(&value, data, std::min(size, sizeof value));
    if (utf8ToWide(std::to_string(value)) != formatUnsigned(value)) {
        finding("formatUnsigned gave another number");
    }
    return 0;
}
