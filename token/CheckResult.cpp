#include "token/CheckResult.h"

#include "support/Logger.h"
#include "token/Exception.h"

#include <limits>
#include <string>

namespace token {

namespace {

// Never truncated: a code that does not fit would otherwise read as another code, or as
// CKR_OK.
ReturnCode narrowCode(CK_RV code) noexcept {
    constexpr CK_RV widest = std::numeric_limits<ReturnCode>::max();
    return code > widest ? std::numeric_limits<ReturnCode>::max() : static_cast<ReturnCode>(code);
}

} // namespace

void checkResult(std::string_view name, CK_RV code) {
    Logger& log = getLogger();
    std::string line(name);
    line += " -> ";
    if (code == CKR_OK) {
        line += "CKR_OK";
        log.write(line);
        return;
    }
    const Pkcs11Exception failure(narrowCode(code));
    line += failure.what();
    log.write(line);
    throw failure;
}

} // namespace token
