// Text that may be a PIN leaves no copy in memory given back while it is converted. The
// test program's operator delete counts what is given back during a conversion.
#include "support/TextConversion.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <new>

namespace {

thread_local int* givenBack = nullptr;

void count(void* block) noexcept {
    if (givenBack != nullptr && block != nullptr) {
        ++*givenBack;
    }
}

} // namespace

void* operator new(std::size_t size) {
    if (void* block = std::malloc(size != 0 ? size : 1)) {
        return block;
    }
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept {
    count(block);
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    count(block);
    std::free(block);
}

namespace {

// Russian letters take two bytes, a sign three and a character beyond the first plane four:
// every kind longer in UTF-8 than in UTF-16.
TEST(SecretCopies, APinOfLettersBeyondAsciiIsConvertedIntoOneBuffer) {
    const std::u16string pin = u"Пароль-№-123456-😀-ёжик-ЙЦУКЕН";
    int freed = 0;
    givenBack = &freed;
    const std::string narrow = wideToUtf8(pin);
    givenBack = nullptr;
    EXPECT_EQ(freed, 0);
    EXPECT_EQ(utf8ToWide(narrow), pin);
}

} // namespace
