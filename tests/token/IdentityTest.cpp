// The pieces of the session that need no module: reading the token's identity fields, the
// mechanism table, and the refusal of lengths the module cannot carry.
#include "token/Exception.h"
#include "token/Length.h"
#include "token/Mechanisms.h"
#include "token/TokenIdentity.h"

#include <cstddef>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

struct ModelField {
    CK_UTF8CHAR bytes[16];
};

ModelField model(const std::string& text) {
    ModelField field;
    std::memset(field.bytes, ' ', sizeof field.bytes);
    std::memcpy(field.bytes, text.data(), text.size());
    return field;
}

TEST(TokenIdentity, OnlyTrailingBlanksAreRemoved) {
    CK_UTF8CHAR serial[16];
    std::memcpy(serial, "1A2B3C4D        ", 16);
    EXPECT_EQ(token::trimTrailingBlanks(serial, 16), "1A2B3C4D");
    CK_UTF8CHAR label[32];
    std::memset(label, ' ', sizeof label);
    EXPECT_EQ(token::trimTrailingBlanks(label, 32), "");
    std::memcpy(label, " a b\t", 5);
    EXPECT_EQ(token::trimTrailingBlanks(label, 32), " a b\t");
    std::memset(label, 'x', sizeof label);
    EXPECT_EQ(token::trimTrailingBlanks(label, 32).size(), 32u);
}

TEST(TokenIdentity, TheModelFieldIsSearchedWhole) {
    const token::ModelCheck plain = token::checkModel(model("Veltora QRD").bytes);
    EXPECT_TRUE(plain.supported);
    EXPECT_FALSE(plain.screenModel);
    const token::ModelCheck screen = token::checkModel(model("Veltora Lumora 2").bytes);
    EXPECT_TRUE(screen.supported);
    EXPECT_TRUE(screen.screenModel);
    EXPECT_TRUE(token::checkModel(model("xxVeltora QRD v3").bytes).supported);
    EXPECT_FALSE(token::checkModel(model("Veltora Lumora").bytes).supported);
    EXPECT_FALSE(token::checkModel(model("veltora qrd").bytes).supported);
    EXPECT_FALSE(token::checkModel(model("Veltora QR").bytes).supported);
}

TEST(Mechanisms, EachAlgorithmSignsWithItsPair) {
    EXPECT_EQ(token::mechanismsFor(GOST_2001).digest, 0x1210u);
    EXPECT_EQ(token::mechanismsFor(GOST_2001).signature, 0x1201u);
    EXPECT_EQ(token::mechanismsFor(GOST_2012_256).digest, 0xD4321012u);
    EXPECT_EQ(token::mechanismsFor(GOST_2012_256).signature, 0x1201u);
    EXPECT_EQ(token::mechanismsFor(GOST_2012_512).digest, 0xD4321013u);
    EXPECT_EQ(token::mechanismsFor(GOST_2012_512).signature, 0xD4321006u);
    EXPECT_EQ(token::mechanismsFor(static_cast<KeyAlgorithm>(7)).digest, 0x1210u);
    EXPECT_EQ(token::mechanismsFor(static_cast<KeyAlgorithm>(7)).signature, 0x1201u);
}

TEST(Lengths, ASizeTheModuleCannotCarryIsRefused) {
    EXPECT_EQ(token::toLength(0), 0u);
    EXPECT_EQ(token::toLength(0xFFFFFFFFu), 0xFFFFFFFFu);
    if constexpr (sizeof(CK_ULONG) < sizeof(std::size_t)) {
        try {
            token::toLength(std::size_t{1} << 32);
            FAIL() << "no exception";
        } catch (const DataTooLargeException& e) {
            EXPECT_STREQ(e.what(), "Data too large");
            EXPECT_STREQ(e.whatRu(), "Слишком большой объём данных");
        }
    }
}

} // namespace
