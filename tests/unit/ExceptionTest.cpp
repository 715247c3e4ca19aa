#include "token/Exception.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

namespace {

// What a dialog shows for a failure: the Russian message of the workstation's own failures,
// the English text of any other.
std::string shown(const std::exception& e) {
    if (const auto* own = dynamic_cast<const Exception*>(&e)) {
        return own->whatRu();
    }
    return e.what();
}

TEST(Exceptions, Pkcs11ExceptionCarriesItsCodeAndBothMessages) {
    try {
        throw Pkcs11Exception(0xA3);
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "CKR_PIN_EXPIRED");
        EXPECT_STREQ(e.whatRu(), "Внутренняя ошибка");
        EXPECT_EQ(dynamic_cast<const Pkcs11Exception&>(e).code(), 0xA3u);
    }
    const Pkcs11Exception vendor(0x80000001u);
    EXPECT_STREQ(vendor.what(), "Unknown error");
    EXPECT_STREQ(vendor.whatRu(), "Внутренняя ошибка");
    const Pkcs11Exception copy = vendor;
    EXPECT_EQ(copy.code(), 0x80000001u);
}

TEST(Exceptions, FixedMessagesOfTheOtherClasses) {
    EXPECT_STREQ(ReadFileException(false).what(), "Cannot read file");
    EXPECT_STREQ(ReadFileException(false).whatRu(), "Не удалось прочитать файл");
    EXPECT_STREQ(ReadFileException(true).what(), "Zero-length file");
    EXPECT_STREQ(ReadFileException(true).whatRu(), "Файл нулевой длины");
    EXPECT_STREQ(WriteFileException().whatRu(), "Не удалось записать файл");
    EXPECT_STREQ(NoTokenException().what(), "No token found");
    EXPECT_STREQ(NoTokenException().whatRu(), "Не обнаружено ни одного токена");
    EXPECT_STREQ(ManyTokenException().what(), "Connect only one token");
    EXPECT_STREQ(ManyTokenException().whatRu(), "Подключите только один токен");
    EXPECT_STREQ(PinException().what(), "Entered PIN codes do not match");
    EXPECT_STREQ(PinException().whatRu(), "Введенные PIN-коды не совпадают");
}

TEST(Exceptions, UserSeesRussianForOwnFailuresAndEnglishForOthers) {
    EXPECT_EQ(shown(Pkcs11Exception(0x150)), "Внутренняя ошибка");
    EXPECT_EQ(shown(Pkcs11Exception(0x30)), "Ошибка токена");
    EXPECT_EQ(shown(ReadFileException(true)), "Файл нулевой длины");
    EXPECT_EQ(shown(std::runtime_error("LoadLibrary")), "LoadLibrary");
}

} // namespace
