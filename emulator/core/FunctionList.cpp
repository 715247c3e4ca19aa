// The C boundary of the software token: every entry of both function lists. Each one runs its
// body under the module's lock, after the test faults have had their say, and turns whatever
// the body throws into a return code, so that no exception reaches the caller.
#include "emulator/core/Emulator.h"
#include "emulator/core/Module.h"

#include <chrono>
#include <mutex>
#include <new>
#include <thread>
#include <type_traits>
#include <utility>

namespace emulator {
namespace {

// The outcome of a body as a return code.
template <typename Body>
CK_RV returnCodeOf(Body&& body) noexcept {
    try {
        return body();
    } catch (const CkError& error) {
        return error.code();
    } catch (const std::bad_alloc&) {
        return CKR_HOST_MEMORY;
    } catch (const std::exception&) {
        // A failure of the cryptographic library or of the state file's model.
        return CKR_FUNCTION_FAILED;
    } catch (...) {
        return CKR_GENERAL_ERROR;
    }
}

struct NothingToEnd {
    void operator()(Emulator&) const noexcept {}
};

// One call of a list entry: counted for the faults, which may delay it or answer in its place.
// A failure they impose runs `imposedFailure` first (a step of an operation ends the
// operation).
template <typename Body, typename ImposedFailure = NothingToEnd>
CK_RV guarded(const char* function, Body&& body, ImposedFailure&& imposedFailure = {}) noexcept {
    return returnCodeOf([&]() -> CK_RV {
        const std::lock_guard lock(Emulator::mutex());
        Emulator& emulator = Emulator::instance();
        const auto imposed = emulator.faults().countCall(function);
        if (const Fault* delay = emulator.faults().active(function, "delay")) {
            // A slow token: the call holds its caller that long before it answers.
            std::this_thread::sleep_for(std::chrono::milliseconds(delay->value));
        }
        if (imposed) {
            if (*imposed != CKR_OK && *imposed != CKR_BUFFER_TOO_SMALL) {
                imposedFailure(emulator);
            }
            return *imposed;
        }
        if constexpr (std::is_void_v<std::invoke_result_t<Body, Emulator&>>) {
            body(emulator);
            return CKR_OK;
        } else {
            return body(emulator);
        }
    });
}

// A step of the session's single-part operation held in `operation`: a failure imposed by a
// fault ends it, as a real failure does.
template <typename Operation, typename Body>
CK_RV guardedStep(const char* function, CK_SESSION_HANDLE session,
                  std::optional<Operation> Session::*operation, Body&& body) noexcept {
    return guarded(function, std::forward<Body>(body),
                   [&](Emulator& e) { e.endOperation(session, operation); });
}

// Entries that the token does not offer.
template <typename Entry>
struct Unsupported;
template <typename... Args>
struct Unsupported<CK_RV (*)(Args...)> {
    static CK_RV call(Args...) noexcept { return CKR_FUNCTION_NOT_SUPPORTED; }
};

CK_RV initialize(CK_VOID_PTR args) {
    return guarded("C_Initialize", [&](Emulator& e) { e.initialize(args); });
}
CK_RV finalize(CK_VOID_PTR reserved) {
    return guarded("C_Finalize", [&](Emulator& e) { e.finalize(reserved); });
}
CK_RV getInfo(CK_INFO_PTR info) {
    return guarded("C_GetInfo", [&](Emulator& e) { e.getInfo(info); });
}
CK_RV getSlotList(CK_BBOOL present, CK_SLOT_ID_PTR list, CK_ULONG_PTR count) {
    return guarded("C_GetSlotList", [&](Emulator& e) { e.getSlotList(present, list, count); });
}
CK_RV getSlotInfo(CK_SLOT_ID slot, CK_SLOT_INFO_PTR info) {
    return guarded("C_GetSlotInfo", [&](Emulator& e) { e.getSlotInfo(slot, info); });
}
CK_RV getTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO_PTR info) {
    return guarded("C_GetTokenInfo", [&](Emulator& e) { e.getTokenInfo(slot, info); });
}
CK_RV getMechanismList(CK_SLOT_ID slot, CK_MECHANISM_TYPE_PTR list, CK_ULONG_PTR count) {
    return guarded("C_GetMechanismList",
                   [&](Emulator& e) { e.getMechanismList(slot, list, count); });
}
CK_RV getMechanismInfo(CK_SLOT_ID slot, CK_MECHANISM_TYPE type, CK_MECHANISM_INFO_PTR info) {
    return guarded("C_GetMechanismInfo",
                   [&](Emulator& e) { e.getMechanismInfo(slot, type, info); });
}
CK_RV setPin(CK_SESSION_HANDLE session, CK_UTF8CHAR_PTR oldPin, CK_ULONG oldLength,
             CK_UTF8CHAR_PTR newPin, CK_ULONG newLength) {
    return guarded("C_SetPIN",
                   [&](Emulator& e) { e.setPin(session, oldPin, oldLength, newPin, newLength); });
}
CK_RV openSession(CK_SLOT_ID slot, CK_FLAGS flags, CK_VOID_PTR, CK_NOTIFY,
                  CK_SESSION_HANDLE_PTR session) {
    return guarded("C_OpenSession", [&](Emulator& e) { e.openSession(slot, flags, session); });
}
CK_RV closeSession(CK_SESSION_HANDLE session) {
    return guarded("C_CloseSession", [&](Emulator& e) { e.closeSession(session); });
}
CK_RV closeAllSessions(CK_SLOT_ID slot) {
    return guarded("C_CloseAllSessions", [&](Emulator& e) { e.closeAllSessions(slot); });
}
CK_RV getSessionInfo(CK_SESSION_HANDLE session, CK_SESSION_INFO_PTR info) {
    return guarded("C_GetSessionInfo", [&](Emulator& e) { e.getSessionInfo(session, info); });
}
CK_RV login(CK_SESSION_HANDLE session, CK_USER_TYPE user, CK_UTF8CHAR_PTR pin, CK_ULONG length) {
    return guarded("C_Login", [&](Emulator& e) { e.login(session, user, pin, length); });
}
CK_RV logout(CK_SESSION_HANDLE session) {
    return guarded("C_Logout", [&](Emulator& e) { e.logout(session); });
}
CK_RV getAttributeValue(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                        CK_ATTRIBUTE_PTR request, CK_ULONG count) {
    return guarded("C_GetAttributeValue", [&](Emulator& e) {
        return e.getAttributeValue(session, object, request, count);
    });
}
CK_RV findObjectsInit(CK_SESSION_HANDLE session, CK_ATTRIBUTE_PTR pattern, CK_ULONG count) {
    return guarded("C_FindObjectsInit",
                   [&](Emulator& e) { e.findObjectsInit(session, pattern, count); });
}
CK_RV findObjects(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE_PTR objects, CK_ULONG maximum,
                  CK_ULONG_PTR found) {
    return guarded("C_FindObjects",
                   [&](Emulator& e) { e.findObjects(session, objects, maximum, found); });
}
CK_RV findObjectsFinal(CK_SESSION_HANDLE session) {
    return guarded("C_FindObjectsFinal", [&](Emulator& e) { e.findObjectsFinal(session); });
}
CK_RV encryptInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key) {
    return guarded("C_EncryptInit",
                   [&](Emulator& e) { e.cipherInit(true, session, mechanism, key); });
}
CK_RV encrypt(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG length, CK_BYTE_PTR out,
              CK_ULONG_PTR outLength) {
    return guardedStep("C_Encrypt", session, &Session::encrypt,
                       [&](Emulator& e) { e.cipher(true, session, data, length, out, outLength); });
}
CK_RV decryptInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key) {
    return guarded("C_DecryptInit",
                   [&](Emulator& e) { e.cipherInit(false, session, mechanism, key); });
}
CK_RV decrypt(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG length, CK_BYTE_PTR out,
              CK_ULONG_PTR outLength) {
    return guardedStep("C_Decrypt", session, &Session::decrypt, [&](Emulator& e) {
        e.cipher(false, session, data, length, out, outLength);
    });
}
CK_RV digestInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism) {
    return guarded("C_DigestInit", [&](Emulator& e) { e.digestInit(session, mechanism); });
}
CK_RV digest(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG length, CK_BYTE_PTR out,
             CK_ULONG_PTR outLength) {
    return guardedStep("C_Digest", session, &Session::digest,
                       [&](Emulator& e) { e.digest(session, data, length, out, outLength); });
}
CK_RV digestUpdate(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG length) {
    return guarded("C_DigestUpdate", [&](Emulator& e) { e.digestUpdate(session, data, length); });
}
CK_RV digestFinal(CK_SESSION_HANDLE session, CK_BYTE_PTR out, CK_ULONG_PTR outLength) {
    return guarded("C_DigestFinal", [&](Emulator& e) { e.digestFinal(session, out, outLength); });
}
CK_RV signInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key) {
    return guarded("C_SignInit", [&](Emulator& e) { e.signInit(session, mechanism, key, false); });
}
CK_RV sign(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG length, CK_BYTE_PTR out,
           CK_ULONG_PTR outLength) {
    return guardedStep("C_Sign", session, &Session::sign,
                       [&](Emulator& e) { e.sign(session, data, length, out, outLength, false); });
}
CK_RV verifyInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key) {
    return guarded("C_VerifyInit", [&](Emulator& e) { e.verifyInit(session, mechanism, key); });
}
CK_RV verify(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG length, CK_BYTE_PTR signature,
             CK_ULONG signatureLength) {
    return guardedStep("C_Verify", session, &Session::verify, [&](Emulator& e) {
        e.verify(session, data, length, signature, signatureLength);
    });
}

CK_RV getTokenInfoExtended(CK_SLOT_ID slot, TokenInfoExtended* info) {
    return guarded("C_EX_GetTokenInfoExtended",
                   [&](Emulator& e) { e.getTokenInfoExtended(slot, info); });
}
CK_RV setLocalPin(CK_SLOT_ID slot, CK_UTF8CHAR_PTR oldPin, CK_ULONG oldLength,
                  CK_UTF8CHAR_PTR newPin, CK_ULONG newLength, CK_ULONG pinId) {
    return guarded("C_EX_SetLocalPIN", [&](Emulator& e) {
        e.setLocalPin(slot, oldPin, oldLength, newPin, newLength, pinId);
    });
}
CK_RV getJournal(CK_SLOT_ID slot, CK_BYTE_PTR out, CK_ULONG_PTR outLength) {
    return guarded("C_EX_GetJournal", [&](Emulator& e) { e.getJournal(slot, out, outLength); });
}
CK_RV signInvisibleInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism,
                        CK_OBJECT_HANDLE key) {
    return guarded("C_EX_SignInvisibleInit",
                   [&](Emulator& e) { e.signInit(session, mechanism, key, true); });
}
CK_RV signInvisible(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG length, CK_BYTE_PTR out,
                    CK_ULONG_PTR outLength) {
    return guardedStep("C_EX_SignInvisible", session, &Session::sign,
                       [&](Emulator& e) { e.sign(session, data, length, out, outLength, true); });
}
CK_RV unusedExtension() noexcept {
    return CKR_FUNCTION_NOT_SUPPORTED;
}

// A function-list call: counted like every entry, and a fault may leave the pointer unset.
template <typename List>
CK_RV handOut(const char* function, List** where, List* list) noexcept {
    return guarded(function, [&](Emulator& e) {
        if (e.faults().active(function, "noPointer") != nullptr) {
            return;
        }
        require(where != nullptr, CKR_ARGUMENTS_BAD);
        *where = list;
    });
}

#define QRD_UNSUPPORTED(name) &Unsupported<CK_##name>::call

CK_FUNCTION_LIST functionList = {
    {2, 40},
    &initialize,
    &finalize,
    &getInfo,
    &qrdGetFunctionList,
    &getSlotList,
    &getSlotInfo,
    &getTokenInfo,
    &getMechanismList,
    &getMechanismInfo,
    QRD_UNSUPPORTED(C_InitToken),
    QRD_UNSUPPORTED(C_InitPIN),
    &setPin,
    &openSession,
    &closeSession,
    &closeAllSessions,
    &getSessionInfo,
    QRD_UNSUPPORTED(C_GetOperationState),
    QRD_UNSUPPORTED(C_SetOperationState),
    &login,
    &logout,
    QRD_UNSUPPORTED(C_CreateObject),
    QRD_UNSUPPORTED(C_CopyObject),
    QRD_UNSUPPORTED(C_DestroyObject),
    QRD_UNSUPPORTED(C_GetObjectSize),
    &getAttributeValue,
    QRD_UNSUPPORTED(C_SetAttributeValue),
    &findObjectsInit,
    &findObjects,
    &findObjectsFinal,
    &encryptInit,
    &encrypt,
    QRD_UNSUPPORTED(C_EncryptUpdate),
    QRD_UNSUPPORTED(C_EncryptFinal),
    &decryptInit,
    &decrypt,
    QRD_UNSUPPORTED(C_DecryptUpdate),
    QRD_UNSUPPORTED(C_DecryptFinal),
    &digestInit,
    &digest,
    &digestUpdate,
    QRD_UNSUPPORTED(C_DigestKey),
    &digestFinal,
    &signInit,
    &sign,
    QRD_UNSUPPORTED(C_SignUpdate),
    QRD_UNSUPPORTED(C_SignFinal),
    QRD_UNSUPPORTED(C_SignRecoverInit),
    QRD_UNSUPPORTED(C_SignRecover),
    &verifyInit,
    &verify,
    QRD_UNSUPPORTED(C_VerifyUpdate),
    QRD_UNSUPPORTED(C_VerifyFinal),
    QRD_UNSUPPORTED(C_VerifyRecoverInit),
    QRD_UNSUPPORTED(C_VerifyRecover),
    QRD_UNSUPPORTED(C_DigestEncryptUpdate),
    QRD_UNSUPPORTED(C_DecryptDigestUpdate),
    QRD_UNSUPPORTED(C_SignEncryptUpdate),
    QRD_UNSUPPORTED(C_DecryptVerifyUpdate),
    QRD_UNSUPPORTED(C_GenerateKey),
    QRD_UNSUPPORTED(C_GenerateKeyPair),
    QRD_UNSUPPORTED(C_WrapKey),
    QRD_UNSUPPORTED(C_UnwrapKey),
    QRD_UNSUPPORTED(C_DeriveKey),
    QRD_UNSUPPORTED(C_SeedRandom),
    QRD_UNSUPPORTED(C_GenerateRandom),
    QRD_UNSUPPORTED(C_GetFunctionStatus),
    QRD_UNSUPPORTED(C_CancelFunction),
    QRD_UNSUPPORTED(C_WaitForSlotEvent),
};

#undef QRD_UNSUPPORTED

ExtendedFunctionList extendedList = {
    {1, 0},
    &qrdGetFunctionListExtended,
    &unusedExtension,
    &getTokenInfoExtended,
    {&unusedExtension, &unusedExtension, &unusedExtension, &unusedExtension, &unusedExtension,
     &unusedExtension, &unusedExtension, &unusedExtension, &unusedExtension},
    &setLocalPin,
    {&unusedExtension, &unusedExtension, &unusedExtension, &unusedExtension, &unusedExtension,
     &unusedExtension, &unusedExtension, &unusedExtension},
    &getJournal,
    &signInvisibleInit,
    &signInvisible,
};

} // namespace
} // namespace emulator

CK_RV qrdGetFunctionList(CK_FUNCTION_LIST_PTR_PTR list) noexcept {
    using namespace emulator;
    const CK_RV prepared = returnCodeOf([]() -> CK_RV {
        const std::lock_guard lock(Emulator::mutex());
        Emulator::instance().prepareFaults();
        return CKR_OK;
    });
    if (prepared != CKR_OK) {
        return prepared;
    }
    return handOut("C_GetFunctionList", list, &functionList);
}

CK_RV qrdGetFunctionListExtended(ExtendedFunctionList** list) noexcept {
    return emulator::handOut("C_EX_GetFunctionListExtended", list, &emulator::extendedList);
}

CK_FUNCTION_LIST* qrdFunctionList() noexcept {
    return &emulator::functionList;
}

ExtendedFunctionList* qrdExtendedFunctionList() noexcept {
    return &emulator::extendedList;
}
