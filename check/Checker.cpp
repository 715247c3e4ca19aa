#include "check/Checker.h"

#include "token/Exception.h"

namespace check {

std::string currentFailure(const CallLog& log) {
    try {
        throw;
    } catch (const Pkcs11Exception& e) {
        return std::string(e.whatRu()) + " (" + log.lastLine() + ")";
    } catch (const Exception& e) {
        return e.whatRu();
    } catch (const std::exception& e) {
        return e.what();
    }
}

} // namespace check
