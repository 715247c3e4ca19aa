#include "token/Cryptoki.h"
#include "token/Exception.h"

#include <gtest/gtest.h>
#include <string>

namespace {

struct Named {
    CK_RV code;
    const char* name;
};
#define NAMED(code)                                                                                \
    Named {                                                                                        \
        code, #code                                                                                \
    }

// The name table checked against the standard's own values, as p11-kit's header spells them.
const Named kStandardCodes[] = {
    NAMED(CKR_CANCEL),
    NAMED(CKR_HOST_MEMORY),
    NAMED(CKR_SLOT_ID_INVALID),
    NAMED(CKR_GENERAL_ERROR),
    NAMED(CKR_FUNCTION_FAILED),
    NAMED(CKR_ARGUMENTS_BAD),
    NAMED(CKR_NO_EVENT),
    NAMED(CKR_NEED_TO_CREATE_THREADS),
    NAMED(CKR_CANT_LOCK),
    NAMED(CKR_ATTRIBUTE_READ_ONLY),
    NAMED(CKR_ATTRIBUTE_SENSITIVE),
    NAMED(CKR_ATTRIBUTE_TYPE_INVALID),
    NAMED(CKR_ATTRIBUTE_VALUE_INVALID),
    NAMED(CKR_DATA_INVALID),
    NAMED(CKR_DATA_LEN_RANGE),
    NAMED(CKR_DEVICE_ERROR),
    NAMED(CKR_DEVICE_MEMORY),
    NAMED(CKR_DEVICE_REMOVED),
    NAMED(CKR_ENCRYPTED_DATA_INVALID),
    NAMED(CKR_ENCRYPTED_DATA_LEN_RANGE),
    NAMED(CKR_FUNCTION_CANCELED),
    NAMED(CKR_FUNCTION_NOT_PARALLEL),
    NAMED(CKR_FUNCTION_NOT_SUPPORTED),
    NAMED(CKR_KEY_HANDLE_INVALID),
    NAMED(CKR_KEY_SIZE_RANGE),
    NAMED(CKR_KEY_TYPE_INCONSISTENT),
    NAMED(CKR_KEY_NOT_NEEDED),
    NAMED(CKR_KEY_CHANGED),
    NAMED(CKR_KEY_NEEDED),
    NAMED(CKR_KEY_INDIGESTIBLE),
    NAMED(CKR_KEY_FUNCTION_NOT_PERMITTED),
    NAMED(CKR_KEY_NOT_WRAPPABLE),
    NAMED(CKR_KEY_UNEXTRACTABLE),
    NAMED(CKR_MECHANISM_INVALID),
    NAMED(CKR_MECHANISM_PARAM_INVALID),
    NAMED(CKR_OBJECT_HANDLE_INVALID),
    NAMED(CKR_OPERATION_ACTIVE),
    NAMED(CKR_OPERATION_NOT_INITIALIZED),
    NAMED(CKR_PIN_INCORRECT),
    NAMED(CKR_PIN_INVALID),
    NAMED(CKR_PIN_LEN_RANGE),
    NAMED(CKR_PIN_EXPIRED),
    NAMED(CKR_PIN_LOCKED),
    NAMED(CKR_SESSION_CLOSED),
    NAMED(CKR_SESSION_COUNT),
    NAMED(CKR_SESSION_HANDLE_INVALID),
    NAMED(CKR_SESSION_PARALLEL_NOT_SUPPORTED),
    NAMED(CKR_SESSION_READ_ONLY),
    NAMED(CKR_SESSION_EXISTS),
    NAMED(CKR_SESSION_READ_ONLY_EXISTS),
    NAMED(CKR_SESSION_READ_WRITE_SO_EXISTS),
    NAMED(CKR_SIGNATURE_INVALID),
    NAMED(CKR_SIGNATURE_LEN_RANGE),
    NAMED(CKR_TEMPLATE_INCOMPLETE),
    NAMED(CKR_TEMPLATE_INCONSISTENT),
    NAMED(CKR_TOKEN_NOT_PRESENT),
    NAMED(CKR_TOKEN_NOT_RECOGNIZED),
    NAMED(CKR_TOKEN_WRITE_PROTECTED),
    NAMED(CKR_UNWRAPPING_KEY_HANDLE_INVALID),
    NAMED(CKR_UNWRAPPING_KEY_SIZE_RANGE),
    NAMED(CKR_UNWRAPPING_KEY_TYPE_INCONSISTENT),
    NAMED(CKR_USER_ALREADY_LOGGED_IN),
    NAMED(CKR_USER_NOT_LOGGED_IN),
    NAMED(CKR_USER_PIN_NOT_INITIALIZED),
    NAMED(CKR_USER_TYPE_INVALID),
    NAMED(CKR_USER_ANOTHER_ALREADY_LOGGED_IN),
    NAMED(CKR_USER_TOO_MANY_TYPES),
    NAMED(CKR_WRAPPED_KEY_INVALID),
    NAMED(CKR_WRAPPED_KEY_LEN_RANGE),
    NAMED(CKR_WRAPPING_KEY_HANDLE_INVALID),
    NAMED(CKR_WRAPPING_KEY_SIZE_RANGE),
    NAMED(CKR_WRAPPING_KEY_TYPE_INCONSISTENT),
    NAMED(CKR_RANDOM_SEED_NOT_SUPPORTED),
    NAMED(CKR_RANDOM_NO_RNG),
    NAMED(CKR_DOMAIN_PARAMS_INVALID),
    NAMED(CKR_BUFFER_TOO_SMALL),
    NAMED(CKR_SAVED_STATE_INVALID),
    NAMED(CKR_INFORMATION_SENSITIVE),
    NAMED(CKR_STATE_UNSAVEABLE),
    NAMED(CKR_CRYPTOKI_NOT_INITIALIZED),
    NAMED(CKR_CRYPTOKI_ALREADY_INITIALIZED),
    NAMED(CKR_MUTEX_BAD),
    NAMED(CKR_MUTEX_NOT_LOCKED),
    NAMED(CKR_NEW_PIN_MODE),
    NAMED(CKR_NEXT_OTP),
    NAMED(CKR_FUNCTION_REJECTED),
};
static_assert(std::size(kStandardCodes) == 86);

TEST(ReturnCodeNames, EveryStandardCodeHasItsOwnName) {
    for (const Named& entry : kStandardCodes) {
        EXPECT_STREQ(token::returnCodeName(static_cast<token::ReturnCode>(entry.code)), entry.name)
            << std::hex << entry.code;
    }
}

TEST(ReturnCodeNames, EveryOtherValueIsUnknown) {
    int named = 0;
    for (token::ReturnCode code = 0; code <= 0x300; ++code) {
        if (std::string(token::returnCodeName(code)) != "Unknown error") {
            ++named;
        }
    }
    EXPECT_EQ(named, 86);
    EXPECT_STREQ(token::returnCodeName(0), "Unknown error");
    EXPECT_STREQ(token::returnCodeName(0x80000000u), "Unknown error");
    EXPECT_STREQ(token::returnCodeName(0x80000001u), "Unknown error");
    EXPECT_STREQ(token::returnCodeName(0xFFFFFFFFu), "Unknown error");
}

TEST(ReturnCodeMessages, FourteenGroupsHaveMessagesOfTheirOwn) {
    const struct {
        token::ReturnCode code;
        const char* message;
    } expected[] = {
        {0x20, "Неправильные данные"},
        {0x40, "Неправильные данные"},
        {0x21, "Некорректная длина данных"},
        {0x41, "Некорректная длина данных"},
        {0x30, "Ошибка токена"},
        {0x54, "Функция не поддерживается"},
        {0x68, "Функция не разрешена для данного ключа"},
        {0xA0, "Неправильный PIN-код"},
        {0xA1, "PIN-код содержит недопустимые символы"},
        {0xA2, "PIN-код имеет недопустимую длину"},
        {0xA4, "PIN-код заблокирован"},
        {0xC0, "Подпись неверна"},
        {0xC1, "Некорректная длина подписи"},
        {0xE0, "Токен отсутствует"},
        {0x100, "Пользователь уже авторизован"},
        {0x101, "Пользователь не авторизован"},
    };
    for (const auto& e : expected) {
        EXPECT_STREQ(token::returnCodeMessageRu(e.code), e.message) << std::hex << e.code;
    }
    int own = 0;
    for (token::ReturnCode code = 0; code <= 0x300; ++code) {
        if (std::string(token::returnCodeMessageRu(code)) != "Внутренняя ошибка") {
            ++own;
        }
    }
    EXPECT_EQ(own, 16);
}

TEST(ReturnCodeMessages, CodesWithoutOwnMessageAreInternalErrors) {
    for (token::ReturnCode code : {0x0u, 0x31u, 0x32u, 0xA3u, 0x150u, 0x80000001u}) {
        EXPECT_STREQ(token::returnCodeMessageRu(code), "Внутренняя ошибка") << std::hex << code;
    }
}

} // namespace
