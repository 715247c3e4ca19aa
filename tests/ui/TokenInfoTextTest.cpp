// The serial number and checksum as the main window shows them.
#include "ui/TokenInfoText.h"

#include <gtest/gtest.h>

TEST(TokenInfoTextTest, SerialNumberIsTheHexadecimalValueInTenDecimalDigits) {
    EXPECT_EQ(formatSerialNumber("0012AB34"), "0001223476");
    EXPECT_EQ(formatSerialNumber("FFFFFFFF"), "4294967295");
    EXPECT_EQ(formatSerialNumber("0000000A"), "0000000010");
    EXPECT_EQ(formatSerialNumber("  1a2Bxyz"), "0000006699");
    EXPECT_EQ(formatSerialNumber(""), "0000000000");
    EXPECT_EQ(formatSerialNumber("xyz"), "0000000000");
    EXPECT_EQ(formatSerialNumber("100000000"), "0000000000");
}

TEST(TokenInfoTextTest, ChecksumIsEightLowerCaseDigitsAndTheVerdict) {
    EXPECT_EQ(formatChecksum(1715004, false), "001a2b3c (OK)");
    EXPECT_EQ(formatChecksum(0, false), "00000000 (OK)");
    EXPECT_EQ(formatChecksum(4294967295u, true), "ffffffff (Неверная контрольная сумма)");
}
