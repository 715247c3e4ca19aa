#include "support/TextConversion.h"

#include "support/WindowTextBuffer.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <utf8.h>

namespace {

TEST(TextConversion, RoundTripsRussianAndAstralText) {
    const std::string russian = "Неправильный PIN-код";
    const std::u16string wide = utf8ToWide(russian);
    EXPECT_EQ(wide, u"Неправильный PIN-код");
    EXPECT_EQ(wide.size(), 20u);
    EXPECT_EQ(wideToUtf8(wide), russian);

    const std::string emoji = "\xF0\x9F\x98\x80"; // U+1F600
    EXPECT_EQ(utf8ToWide(emoji), (std::u16string{0xD83D, 0xDE00}));
    EXPECT_EQ(wideToUtf8(std::u16string{0xD83D, 0xDE00}), emoji);

    EXPECT_EQ(utf8ToWide(""), u"");
    EXPECT_EQ(wideToUtf8(u""), "");
    EXPECT_EQ(utf8ToWide(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

TEST(TextConversion, MalformedUtf8IsRejectedWithUtfcppExceptions) {
    EXPECT_THROW(utf8ToWide("\xCD\xE5"), utf8::invalid_utf8);           // a single-byte code page
    EXPECT_THROW(utf8ToWide("\xC0\xAF"), utf8::invalid_utf8);           // overlong
    EXPECT_THROW(utf8ToWide("ab\xD0"), utf8::not_enough_room);          // cut short
    EXPECT_THROW(utf8ToWide("\xED\xA0\x80"), utf8::invalid_code_point); // a surrogate
    EXPECT_THROW(utf8ToWide("\xF4\x90\x80\x80"), utf8::invalid_code_point); // above U+10FFFF
    try {
        utf8ToWide("ab\xD0");
        FAIL();
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Not enough space");
    }
}

TEST(TextConversion, DisplayConversionReplacesOnlyInvalidUtf8) {
    EXPECT_EQ(utf8ToWideForDisplay("\xCD\xE5"), u"Некорректная строка");
    EXPECT_EQ(utf8ToWideForDisplay("\xCD\xE5").size(), 19u);
    EXPECT_EQ(utf8ToWideForDisplay("Метка"), u"Метка");
    EXPECT_THROW(utf8ToWideForDisplay("\xD0"), utf8::not_enough_room);
    EXPECT_THROW(utf8ToWideForDisplay("\xED\xA0\x80"), utf8::invalid_code_point);
}

TEST(TextConversion, LabelsLoseOnlyALetterCutAtTheirEnd) {
    const std::u16string invalid = u"Некорректная строка";
    const std::pair<std::string, std::u16string> cases[] = {
        {"", u""},
        {"Подпись", u"Подпись"},
        {"Подпис\xD1", u"Подпис"},                            // a two-byte letter cut
        {"\xD0", u""},                                        // nothing before the cut
        {"ab\xE2\x82", u"ab"},                                // a three-byte sign cut
        {"ab\xF0\x9F\x98", u"ab"},                            // a four-byte character cut
        {"\xF0\x9F\x98\x80", std::u16string{0xD83D, 0xDE00}}, // whole
        {"ab\xED\xA0", invalid},     // the start of a surrogate is no letter
        {"ab\xF4\x90", invalid},     // nor the start of a value above U+10FFFF
        {"ab\xE0\x80", invalid},     // nor the start of an overlong form
        {"ab\xED\xA0\x80", invalid}, // a surrogate
        {"\xF4\x90\x80\x80", invalid},
        {"\xCD\xE5", invalid},  // a single-byte code page
        {"\xD0x\xD0", invalid}, // a fault before the cut
        {"ab\x80", invalid},    // a continuation byte without its lead
    };
    for (const auto& [label, shown] : cases) {
        EXPECT_EQ(labelToWide(label), shown) << testing::PrintToString(label);
    }
}

TEST(TextConversion, UnpairedSurrogatesAreRejected) {
    EXPECT_THROW(wideToUtf8(std::u16string{0xDC00}), utf8::invalid_utf16);
    EXPECT_THROW(wideToUtf8(std::u16string{u'a', 0xD800}), utf8::invalid_utf16);
    EXPECT_THROW(wideToUtf8(std::u16string{0xD800, u'a'}), utf8::invalid_utf16);
    try {
        wideToUtf8(std::u16string{0xDC00});
        FAIL();
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Invalid UTF-16");
    }
}

TEST(WindowText, BufferKeepsCapacityRuleAndIsReleased) {
    WindowTextBuffer pin(WindowTextBuffer::kPinCapacity);
    pin.assign(std::u16string(100, u'7'));
    EXPECT_EQ(pin.text().size(), 63u);
    EXPECT_EQ(windowTextToUtf8(pin), std::string(63, '7'));
    EXPECT_EQ(pin.capacity(), 0u);

    // Filled by the window system without a terminating zero: every unit counts.
    WindowTextBuffer full(64);
    std::fill_n(full.data(), 64, u'x');
    EXPECT_EQ(windowTextToUtf8(full), std::string(64, 'x'));

    WindowTextBuffer empty(WindowTextBuffer::kPathCapacity);
    EXPECT_EQ(windowTextToUtf8(empty), "");

    WindowTextBuffer broken(8);
    broken.data()[0] = 0xDC00;
    EXPECT_THROW(windowTextToUtf8(broken), utf8::invalid_utf16);
    EXPECT_EQ(broken.capacity(), 0u);
}

TEST(FormatUnsigned, DecimalWithoutPaddingOrGrouping) {
    EXPECT_EQ(formatUnsigned(0), u"0");
    EXPECT_EQ(formatUnsigned(512), u"512");
    EXPECT_EQ(formatUnsigned(1000000), u"1000000");
    EXPECT_EQ(formatUnsigned(std::numeric_limits<std::uint64_t>::max()), u"18446744073709551615");
}

} // namespace
