// The software token's module logic: library state, slots and tokens, sessions and login,
// objects, the single-part operations and the maker's extensions. Every member either
// completes or throws CkError with the code the call returns; the C boundary
// (FunctionList.cpp) turns that into the return value. Callers hold mutex() around each call.
#pragma once

#include "emulator/core/CkError.h"
#include "emulator/core/Faults.h"
#include "emulator/core/Session.h"
#include "emulator/core/StateFile.h"
#include "token/Cryptoki.h"

#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace emulator {

// Lengths of the user PIN that C_SetPIN accepts.
inline constexpr CK_ULONG kMinPinLength = 6;
inline constexpr CK_ULONG kMaxPinLength = 32;
// The longest PIN a token keeps (qrd-token sets up to this). A PIN given to C_Login, or as the old
// PIN of C_SetPIN, that is longer is a wrong PIN, and none of its bytes are read.
inline constexpr CK_ULONG kLongestPin = 64;

class Emulator {
public:
    static Emulator& instance();
    static std::mutex& mutex();

    Faults& faults() { return faults_; }
    // C_GetFunctionList: the faults are read again and their call counters start from zero.
    void prepareFaults();

    void initialize(CK_VOID_PTR args);
    void finalize(CK_VOID_PTR reserved);
    void getInfo(CK_INFO_PTR info);

    void getSlotList(CK_BBOOL tokenPresent, CK_SLOT_ID_PTR list, CK_ULONG_PTR count);
    void getSlotInfo(CK_SLOT_ID slot, CK_SLOT_INFO_PTR info);
    void getTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO_PTR info);
    void getMechanismList(CK_SLOT_ID slot, CK_MECHANISM_TYPE_PTR list, CK_ULONG_PTR count);
    void getMechanismInfo(CK_SLOT_ID slot, CK_MECHANISM_TYPE type, CK_MECHANISM_INFO_PTR info);

    void openSession(CK_SLOT_ID slot, CK_FLAGS flags, CK_SESSION_HANDLE_PTR session);
    void closeSession(CK_SESSION_HANDLE session);
    void closeAllSessions(CK_SLOT_ID slot);
    void getSessionInfo(CK_SESSION_HANDLE session, CK_SESSION_INFO_PTR info);
    void login(CK_SESSION_HANDLE session, CK_USER_TYPE user, CK_UTF8CHAR_PTR pin,
               CK_ULONG pinLength);
    void logout(CK_SESSION_HANDLE session);
    void setPin(CK_SESSION_HANDLE session, CK_UTF8CHAR_PTR oldPin, CK_ULONG oldLength,
                CK_UTF8CHAR_PTR newPin, CK_ULONG newLength);

    // Returns CKR_OK or the code of an attribute that could not be read (the others are
    // still filled in).
    CK_RV getAttributeValue(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                            CK_ATTRIBUTE_PTR request, CK_ULONG count);
    void findObjectsInit(CK_SESSION_HANDLE session, CK_ATTRIBUTE_PTR pattern, CK_ULONG count);
    void findObjects(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE_PTR objects, CK_ULONG maximum,
                     CK_ULONG_PTR found);
    void findObjectsFinal(CK_SESSION_HANDLE session);

    void digestInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism);
    void digest(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG length, CK_BYTE_PTR out,
                CK_ULONG_PTR outLength);
    void digestUpdate(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG length);
    void digestFinal(CK_SESSION_HANDLE session, CK_BYTE_PTR out, CK_ULONG_PTR outLength);
    // `invisible`: C_EX_SignInvisibleInit / C_EX_SignInvisible (the screen model only).
    void signInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key,
                  bool invisible);
    void sign(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG length, CK_BYTE_PTR out,
              CK_ULONG_PTR outLength, bool invisible);
    void verifyInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key);
    void verify(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG length, CK_BYTE_PTR signature,
                CK_ULONG signatureLength);
    void cipherInit(bool encrypt, CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism,
                    CK_OBJECT_HANDLE key);
    void cipher(bool encrypt, CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG length,
                CK_BYTE_PTR out, CK_ULONG_PTR outLength);

    // Ends the session's operation of that kind, if any: a failure that a fault imposes on a
    // step of a single-part operation ends it, as every real failure but a short buffer does.
    template <typename Operation>
    void endOperation(CK_SESSION_HANDLE handle, std::optional<Operation> Session::*operation) {
        if (const auto found = sessions_.find(handle); found != sessions_.end()) {
            (found->second.*operation).reset();
        }
    }

    void getTokenInfoExtended(CK_SLOT_ID slot, TokenInfoExtended* info);
    void setLocalPin(CK_SLOT_ID slot, CK_UTF8CHAR_PTR oldPin, CK_ULONG oldLength,
                     CK_UTF8CHAR_PTR newPin, CK_ULONG newLength, CK_ULONG pinId);
    void getJournal(CK_SLOT_ID slot, CK_BYTE_PTR out, CK_ULONG_PTR outLength);

private:
    void requireInitialized() const;
    // The slot's token as last read from the state file.
    TokenState& tokenOf(CK_SLOT_ID slot);
    // The slot's token read again from the state file under its lock, with what other processes
    // changed; CKR_DEVICE_ERROR when the file cannot be read.
    const TokenState& freshToken(CK_SLOT_ID slot);
    // One change of persistent state, under the state file's lock: reads the file again, lets
    // `change` work on a copy of the slot's token and, when the copy differs, saves it and only
    // then keeps it. `change` returns the call's code (a wrong PIN is counted, saved and then
    // answered); what it throws leaves the file as it was. CKR_DEVICE_ERROR when the file cannot
    // be read or written.
    void update(CK_SLOT_ID slot, const std::function<CK_RV(TokenState&)>& change);
    // Takes a state just read from the file as the current one; CKR_DEVICE_ERROR when it no
    // longer has the slots that the sessions refer to.
    void adopt(State fresh);
    Session& sessionOf(CK_SESSION_HANDLE handle);
    std::optional<CK_USER_TYPE>& loginOf(CK_SLOT_ID slot);
    bool userLoggedIn(CK_SLOT_ID slot);
    // A key the session may use, read afresh, for what keys of class `permitted` do (sign:
    // private keys, verify: public keys, encrypt and decrypt: secret keys):
    // CKR_KEY_HANDLE_INVALID, CKR_USER_NOT_LOGGED_IN for a private key before login,
    // CKR_KEY_FUNCTION_NOT_PERMITTED for a key of another class.
    const KeyObject& usableKey(const Session& session, CK_OBJECT_HANDLE handle,
                               ObjectClass permitted);
    // The size-query rules: with a null output, reports the length (as the faults may skew it)
    // and returns false; with a buffer too short, CKR_BUFFER_TOO_SMALL; otherwise sets the
    // length and returns true: the caller writes the output.
    bool answerSize(std::string_view function, CK_BYTE_PTR out, CK_ULONG_PTR outLength,
                    std::size_t needed);
    // A user PIN check that counts down the retry counter and locks at zero: CKR_OK,
    // CKR_PIN_INCORRECT or CKR_PIN_LOCKED.
    static CK_RV checkUserPin(TokenState& token, CK_UTF8CHAR_PTR pin, CK_ULONG length);

    bool initialized_ = false;
    std::string statePath_;
    State state_;
    std::vector<std::optional<CK_USER_TYPE>> logins_; // per slot
    std::map<CK_SESSION_HANDLE, Session> sessions_;
    CK_SESSION_HANDLE nextSession_ = 1;
    Faults faults_;
};

// The object with that handle, or null.
const KeyObject* objectByHandle(const TokenState& token, CK_OBJECT_HANDLE handle);

// The text of a PIN argument; CKR_ARGUMENTS_BAD for a null pointer with a length.
std::string_view pinText(CK_UTF8CHAR_PTR pin, CK_ULONG length);

// Whether a PIN argument equals the expected PIN: CKR_ARGUMENTS_BAD for a null pointer with a
// length; false without reading for a length above kLongestPin. Compares without leaking,
// through timing, where the first difference lies.
bool pinMatches(std::string_view expected, CK_UTF8CHAR_PTR pin, CK_ULONG length);

} // namespace emulator
