#include "ui/CurrentToken.h"

#include "token/Exception.h"

Token& currentToken() {
    Token* token = Token::instance();
    if (token == nullptr) {
        throw Pkcs11Exception(CKR_CRYPTOKI_NOT_INITIALIZED);
    }
    return *token;
}
