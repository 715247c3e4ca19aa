#include "check/SessionChecks.h"

#include "support/TextConversion.h"
#include "support/Wipe.h"
#include "token/Token.h"
#include "token/platform/ModuleLoader.h"
#include "ui/TokenInfoText.h"

#include <cstddef>

namespace check {

namespace {

const std::string kModule = "Модуль";
const std::string kStartup = "Запуск";
const std::string kIdentity = "Сведения о токене";
const std::string kLogin = "Вход";
const std::string kShutdown = "Завершение";

const std::string kComplete =
    " загружен, в списках функций есть все 29 функций, которые вызывает АРМ";
const std::string kIncomplete = " загружен, но в его списках функций нет: ";

std::string joined(const std::vector<std::string_view>& names) {
    std::string text;
    for (const std::string_view name : names) {
        text += (text.empty() ? "" : ", ") + std::string(name);
    }
    return text;
}

// What the token's flags say of the user PIN after a refused login.
std::string pinState(CK_FLAGS flags) {
    if ((flags & CKF_USER_PIN_LOCKED) != 0) {
        return "токен сообщает: PIN-код заблокирован";
    }
    if ((flags & CKF_USER_PIN_FINAL_TRY) != 0) {
        return "токен сообщает: осталась последняя попытка ввода PIN-кода";
    }
    if ((flags & CKF_USER_PIN_COUNT_LOW) != 0) {
        return "токен сообщает: число оставшихся попыток ввода PIN-кода уменьшилось";
    }
    return "токен не сообщает об уменьшении числа попыток ввода PIN-кода";
}

} // namespace

std::unique_ptr<Pkcs11Module> checkModule(Checker& checker, const LoadFailureProbe& probe) {
    std::unique_ptr<Pkcs11Module> module;
    checker.run(kModule, [&] {
        try {
            module = std::make_unique<Pkcs11Module>();
        } catch (const ModuleLoadError& e) {
            if (!probe) {
                throw;
            }
            return moduleNotLoaded(probe(e.code()));
        }
        const char* name = token::platform::moduleFileName();
        std::string place = token::platform::loadedLibraryPath(name);
        if (place.empty()) {
            place = name;
        }
        const std::vector<std::string_view> missing = module->missingEntries();
        if (!missing.empty()) {
            return failed(place + kIncomplete + joined(missing));
        }
        return passed(place + kComplete);
    });
    return module;
}

bool checkStartup(Checker& checker, std::unique_ptr<Pkcs11Module> module) {
    const Outcome outcome = checker.run(kStartup, [&] {
        initializeToken(std::move(module));
        return passed(Token::instance()->hasScreen()
                          ? "один токен, модель с экраном (Veltora Lumora 2), сеанс открыт"
                          : "один токен, модель без экрана (Veltora QRD), сеанс открыт");
    });
    if (outcome != Outcome::Passed) {
        return false;
    }
    checker.run(kIdentity, [&] {
        const Token& token = *Token::instance();
        const std::string text = "серийный номер " + formatSerialNumber(token.getSerialNumber()) +
                                 ", метка «" + wideToUtf8(labelToWide(token.getLabel())) +
                                 "», контрольная сумма " +
                                 formatChecksum(token.getChecksum(), token.isChecksumInvalid());
        return token.isChecksumInvalid() ? failed(text) : passed(text);
    });
    return true;
}

bool checkLogin(Checker& checker, const PinReader& readPin) {
    std::string pin;
    const WipeOnExit wipe{pin};
    const Outcome outcome = checker.run(kLogin, [&] {
        readPin(pin);
        // A PIN cut short by Ctrl+C is never tried.
        if (checker.stopped()) {
            return skipped(kStopped);
        }
        if (pin.empty()) {
            return skipped("PIN-код не введён");
        }
        Token& token = *Token::instance();
        try {
            token.login(pin);
        } catch (const std::exception&) {
            std::string text = currentFailure(checker.log()) + "; ";
            try {
                text += pinState(token.getTokenFlags());
            } catch (const std::exception&) {
                text += "состояние PIN-кода не получено: " + currentFailure(checker.log());
            }
            return failed(text + "; повторный вход не выполняется");
        }
        return passed("PIN-код пользователя принят");
    });
    return outcome == Outcome::Passed;
}

void checkShutdown(Checker& checker) {
    checker.runEvenIfStopped(kShutdown, [&] {
        const std::size_t mark = checker.log().lines().size();
        finalizeToken();
        // The workstation goes on past a failing C_CloseSession; the token should not need it.
        const std::vector<std::string>& lines = checker.log().lines();
        for (std::size_t i = mark; i < lines.size(); ++i) {
            if (!lines[i].ends_with(" -> CKR_OK")) {
                return failed("вызов не выполнен: " + lines[i]);
            }
        }
        if (token::platform::isLibraryLoaded(token::platform::moduleFileName())) {
            return failed("модуль остался загруженным");
        }
        return passed("сеанс закрыт, C_Finalize выполнен, модуль выгружен");
    });
}

} // namespace check
