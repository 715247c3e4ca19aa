#include "support/Wipe.h"
#include "token/Exception.h"
#include "token/Length.h"
#include "token/Pkcs11Module.h"
#include "token/Token.h"
#include "token/TokenIdentity.h"

#include <exception>
#include <memory>
#include <stdexcept>

namespace {

std::unique_ptr<Pkcs11Module> theModule;
std::unique_ptr<Token> theToken;

constexpr CK_ULONG kChecksumUnset = 0xFFFFFFFFUL;

CK_UTF8CHAR_PTR pinBytes(const std::string& pin) {
    // The module only reads the PIN; the standard's prototypes merely lack the const.
    return reinterpret_cast<CK_UTF8CHAR_PTR>(const_cast<char*>(pin.data()));
}

} // namespace

Pkcs11Module* moduleBinding() noexcept {
    return theModule.get();
}

Token* Token::instance() noexcept {
    return theToken.get();
}

void initializeToken() {
    initializeToken(std::make_unique<Pkcs11Module>());
}

void initializeToken(std::unique_ptr<Pkcs11Module> loaded) {
    if (theModule) {
        throw std::logic_error("The token session is already started");
    }
    if (!loaded) {
        throw std::logic_error("No module to start the token session with");
    }
    // Released, and with it unloaded, on every path that does not end in a started session.
    struct ReleaseUnlessStarted {
        bool started = false;
        ~ReleaseUnlessStarted() {
            if (!started) {
                theModule.reset();
            }
        }
    } release;
    theModule = std::move(loaded);
    Pkcs11Module& module = *theModule;
    module.C_Initialize(nullptr);
    try {
        CK_SLOT_ID slot = 0;
        CK_ULONG count = 1;
        try {
            module.C_GetSlotList(CK_TRUE, &slot, &count);
        } catch (const Pkcs11Exception& e) {
            if (e.code() == CKR_BUFFER_TOO_SMALL) {
                throw ManyTokenException();
            }
            throw;
        }
        if (count > 1) {
            // Success with more slots than there was room for (CK_UNAVAILABLE_INFORMATION
            // among such counts): no slot id of that answer can be trusted.
            throw ModuleAnswerException();
        }
        if (count != 1) {
            throw NoTokenException();
        }

        CK_TOKEN_INFO info{};
        module.C_GetTokenInfo(slot, &info);

        TokenInfoExtended extended{};
        extended.size = sizeof(TokenInfoExtended);
        extended.checksum = kChecksumUnset;
        module.C_EX_GetTokenInfoExtended(slot, &extended);
        if (extended.size != sizeof(TokenInfoExtended)) {
            extended.flags |= CHECKSUM_INVALID_FLAG;
        }

        const token::ModelCheck model = token::checkModel(info.model);
        if (!model.supported || info.firmwareVersion.minor != 2) {
            throw NoTokenException();
        }
        theToken.reset(new Token(module, slot, info, static_cast<std::uint32_t>(extended.checksum),
                                 (extended.flags & CHECKSUM_INVALID_FLAG) != 0, model.screenModel));
    } catch (...) {
        // The failure that stopped the start-up is the one the caller sees; C_Finalize only
        // tidies up, and its own line is in the log whatever its outcome.
        try {
            module.C_Finalize(nullptr);
        } catch (const std::exception&) {
        }
        throw;
    }
    release.started = true;
}

void finalizeToken() {
    // Both are released when this returns or throws: the Token first (its PIN wiped), then
    // the binding, which unloads the module.
    const std::unique_ptr<Pkcs11Module> module = std::move(theModule);
    std::unique_ptr<Token> token = std::move(theToken);
    if (!module) {
        return;
    }
    // C_Finalize runs whatever happened before it; the first failure is the one the caller
    // sees, after the module is unloaded.
    std::exception_ptr firstFailure;
    if (token) {
        try {
            module->C_CloseSession(token->sessionHandle_);
        } catch (const Pkcs11Exception&) {
            // The session goes away with C_Finalize anyway.
        } catch (...) {
            firstFailure = std::current_exception();
        }
        token.reset();
    }
    try {
        module->C_Finalize(nullptr);
    } catch (...) {
        if (!firstFailure) {
            firstFailure = std::current_exception();
        }
    }
    if (firstFailure) {
        std::rethrow_exception(firstFailure);
    }
}

Token::Token(Pkcs11Module& module, CK_SLOT_ID slot, const CK_TOKEN_INFO& info,
             std::uint32_t checksum, bool checksumInvalid, bool screenModel)
    : slotId_(slot), checksum_(checksum), checksumInvalid_(checksumInvalid),
      screenModel_(screenModel) {
    module.C_OpenSession(slotId_, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr,
                         &sessionHandle_);
    serialNumber_ = token::trimTrailingBlanks(info.serialNumber, sizeof info.serialNumber);
    label_ = token::trimTrailingBlanks(info.label, sizeof info.label);
}

Token::~Token() {
    secureWipe(pin_);
}

Pkcs11Module& Token::module() const {
    return *theModule;
}

void Token::login(const std::string& pin) {
    module().C_Login(sessionHandle_, CKU_USER, pinBytes(pin), token::toLength(pin.size()));
    secureWipe(pin_);
    pin_ = pin;
}

void Token::setPin(const std::string& newPin) {
    module().C_SetPIN(sessionHandle_, pinBytes(pin_), token::toLength(pin_.size()),
                      pinBytes(newPin), token::toLength(newPin.size()));
    secureWipe(pin_);
    pin_ = newPin;
}

void Token::setLocalPin() {
    module().C_EX_SetLocalPIN(slotId_, nullptr, 0, nullptr, 0, LOCAL_PIN_ID);
}

CK_FLAGS Token::getTokenFlags() {
    CK_TOKEN_INFO info{};
    module().C_GetTokenInfo(slotId_, &info);
    return info.flags;
}
