#pragma once

#include "token/Token.h"

// The token of the started session. Pages act only after start-up has opened it; a command
// that arrives without one fails as the module would, with CKR_CRYPTOKI_NOT_INITIALIZED.
Token& currentToken();
