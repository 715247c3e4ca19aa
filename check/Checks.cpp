#include "check/Checks.h"

#include "check/Checker.h"
#include "check/SessionChecks.h"
#include "check/TokenChecks.h"
#include "token/Token.h"

namespace check {

namespace {

// The checks that need a logged-in session, in order.
const char* const kLoginChecks[] = {"Ключи", "Хэширование", "Подпись и проверка", "Шифрование",
                                    "Журнал токена"};

void skipSession(Checker& checker, const std::string& reason) {
    checker.skip("Вход", reason);
    for (const char* name : kLoginChecks) {
        checker.skip(name, reason);
    }
    checker.skip("Завершение", reason);
}

} // namespace

void runChecks(const Options& options, const Host& host, Report& report, const CallLog& log) {
    Checker checker(report, log, host.stopRequested);
    std::unique_ptr<Pkcs11Module> module = checkModule(checker, host.probeLoadFailure);
    if (!module) {
        checker.skip("Запуск", "модуль не загружен");
        skipSession(checker, "модуль не загружен");
        return;
    }
    if (!checkStartup(checker, std::move(module))) {
        // A failed start-up has finalised and unloaded the module already.
        skipSession(checker, "сеанс с токеном не открыт");
        return;
    }
    if (checkLogin(checker, host.readPin)) {
        Token& token = *Token::instance();
        const KeyLists keys = checkKeys(checker, token);
        checkDigests(checker, token);
        checkSignatures(checker, token, keys, options.journalKeys);
        checkEncryption(checker, token, keys);
        checkJournal(checker, token);
    } else {
        for (const char* name : kLoginChecks) {
            checker.skip(name, "вход не выполнен");
        }
    }
    checkShutdown(checker);
}

} // namespace check
