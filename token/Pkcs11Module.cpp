#include "token/Pkcs11Module.h"

#include "token/CheckResult.h"
#include "token/platform/ModuleLoader.h"

#include <stdexcept>

Pkcs11Module::Pkcs11Module() : Pkcs11Module(token::platform::moduleFileName()) {}

Pkcs11Module::Pkcs11Module(const char* libraryName) {
    load(libraryName);
}

Pkcs11Module::~Pkcs11Module() {
    if (library_ != nullptr) {
        token::platform::freeLibrary(library_);
    }
}

void Pkcs11Module::load(const char* libraryName) {
    library_ = token::platform::loadLibrary(libraryName);
    if (library_ == nullptr) {
        throw ModuleLoadError(token::platform::lastLoadError());
    }
    try {
        // Zero-filled tables laid out as the two lists, holding only the entry that hands out
        // the real list, so that the list calls go through the logged wrappers as well.
        CK_FUNCTION_LIST standardScratch{};
        ExtendedFunctionList extendedScratch{};
        // Both entry points are looked up before either is called: a module without the
        // extensions is refused before anything runs in it.
        void* getFunctionList = token::platform::findSymbol(library_, "C_GetFunctionList");
        if (getFunctionList == nullptr) {
            throw std::runtime_error("GetProcAddress::C_GetFunctionList");
        }
        standardScratch.C_GetFunctionList = reinterpret_cast<CK_C_GetFunctionList>(getFunctionList);
        void* getExtended = token::platform::findSymbol(library_, "C_EX_GetFunctionListExtended");
        if (getExtended == nullptr) {
            throw std::runtime_error("GetProcAddress::C_EX_GetFunctionListExtended");
        }
        extendedScratch.C_EX_GetFunctionListExtended =
            reinterpret_cast<CK_EX_GetFunctionListExtended>(getExtended);

        // A module that answers CKR_OK without handing over its list would leave a field
        // pointing at a scratch table that is about to vanish.
        functions_ = &standardScratch;
        C_GetFunctionList(&functions_);
        if (functions_ == &standardScratch || functions_ == nullptr) {
            throw std::runtime_error("C_GetFunctionList returned no function list");
        }
        extended_ = &extendedScratch;
        C_EX_GetFunctionListExtended(&extended_);
        if (extended_ == &extendedScratch || extended_ == nullptr) {
            throw std::runtime_error("C_EX_GetFunctionListExtended returned no function list");
        }
    } catch (...) {
        functions_ = nullptr;
        extended_ = nullptr;
        token::platform::freeLibrary(library_);
        library_ = nullptr;
        throw;
    }
}

std::vector<std::string_view> Pkcs11Module::missingEntries() const {
    std::vector<std::string_view> missing;
#define CHECK_ENTRY(list, entry)                                                                   \
    if ((list)->entry == nullptr) {                                                                \
        missing.push_back(#entry);                                                                 \
    }
    CHECK_ENTRY(functions_, C_Initialize)
    CHECK_ENTRY(functions_, C_Finalize)
    CHECK_ENTRY(functions_, C_GetFunctionList)
    CHECK_ENTRY(functions_, C_GetSlotList)
    CHECK_ENTRY(functions_, C_GetTokenInfo)
    CHECK_ENTRY(functions_, C_SetPIN)
    CHECK_ENTRY(functions_, C_OpenSession)
    CHECK_ENTRY(functions_, C_CloseSession)
    CHECK_ENTRY(functions_, C_Login)
    CHECK_ENTRY(functions_, C_GetAttributeValue)
    CHECK_ENTRY(functions_, C_FindObjectsInit)
    CHECK_ENTRY(functions_, C_FindObjects)
    CHECK_ENTRY(functions_, C_FindObjectsFinal)
    CHECK_ENTRY(functions_, C_EncryptInit)
    CHECK_ENTRY(functions_, C_Encrypt)
    CHECK_ENTRY(functions_, C_DecryptInit)
    CHECK_ENTRY(functions_, C_Decrypt)
    CHECK_ENTRY(functions_, C_DigestInit)
    CHECK_ENTRY(functions_, C_Digest)
    CHECK_ENTRY(functions_, C_SignInit)
    CHECK_ENTRY(functions_, C_Sign)
    CHECK_ENTRY(functions_, C_VerifyInit)
    CHECK_ENTRY(functions_, C_Verify)
    CHECK_ENTRY(extended_, C_EX_GetFunctionListExtended)
    CHECK_ENTRY(extended_, C_EX_GetTokenInfoExtended)
    CHECK_ENTRY(extended_, C_EX_SetLocalPIN)
    CHECK_ENTRY(extended_, C_EX_GetJournal)
    CHECK_ENTRY(extended_, C_EX_SignInvisibleInit)
    CHECK_ENTRY(extended_, C_EX_SignInvisible)
#undef CHECK_ENTRY
    return missing;
}

namespace {

// An entry that a broken module leaves empty answers as a function it does not offer, rather
// than being called through a null pointer.
template <typename Entry, typename... Args>
CK_RV callEntry(Entry entry, Args... args) {
    return entry != nullptr ? entry(args...) : CK_RV{CKR_FUNCTION_NOT_SUPPORTED};
}

} // namespace

// Every wrapper has this one shape: call the list's entry with the arguments unchanged, then
// hand the code to checkResult under the entry's name. Nothing else happens before or after.
#define LOGGED_CALL(list, entry, ...)                                                              \
    token::checkResult(#entry, callEntry((list)->entry, __VA_ARGS__))

void Pkcs11Module::C_Initialize(CK_VOID_PTR initArgs) {
    LOGGED_CALL(functions_, C_Initialize, initArgs);
}

void Pkcs11Module::C_Finalize(CK_VOID_PTR reserved) {
    LOGGED_CALL(functions_, C_Finalize, reserved);
}

void Pkcs11Module::C_GetFunctionList(CK_FUNCTION_LIST_PTR_PTR list) {
    LOGGED_CALL(functions_, C_GetFunctionList, list);
}

void Pkcs11Module::C_GetSlotList(CK_BBOOL tokenPresent, CK_SLOT_ID_PTR slots, CK_ULONG_PTR count) {
    LOGGED_CALL(functions_, C_GetSlotList, tokenPresent, slots, count);
}

void Pkcs11Module::C_GetTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO_PTR info) {
    LOGGED_CALL(functions_, C_GetTokenInfo, slot, info);
}

void Pkcs11Module::C_SetPIN(CK_SESSION_HANDLE session, CK_UTF8CHAR_PTR oldPin, CK_ULONG oldLength,
                            CK_UTF8CHAR_PTR newPin, CK_ULONG newLength) {
    LOGGED_CALL(functions_, C_SetPIN, session, oldPin, oldLength, newPin, newLength);
}

void Pkcs11Module::C_OpenSession(CK_SLOT_ID slot, CK_FLAGS flags, CK_VOID_PTR application,
                                 CK_NOTIFY notify, CK_SESSION_HANDLE_PTR session) {
    LOGGED_CALL(functions_, C_OpenSession, slot, flags, application, notify, session);
}

void Pkcs11Module::C_CloseSession(CK_SESSION_HANDLE session) {
    LOGGED_CALL(functions_, C_CloseSession, session);
}

void Pkcs11Module::C_Login(CK_SESSION_HANDLE session, CK_USER_TYPE userType, CK_UTF8CHAR_PTR pin,
                           CK_ULONG pinLength) {
    LOGGED_CALL(functions_, C_Login, session, userType, pin, pinLength);
}

void Pkcs11Module::C_GetAttributeValue(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                                       CK_ATTRIBUTE_PTR attributes, CK_ULONG count) {
    LOGGED_CALL(functions_, C_GetAttributeValue, session, object, attributes, count);
}

void Pkcs11Module::C_FindObjectsInit(CK_SESSION_HANDLE session, CK_ATTRIBUTE_PTR attributes,
                                     CK_ULONG count) {
    LOGGED_CALL(functions_, C_FindObjectsInit, session, attributes, count);
}

void Pkcs11Module::C_FindObjects(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE_PTR objects,
                                 CK_ULONG maxCount, CK_ULONG_PTR found) {
    LOGGED_CALL(functions_, C_FindObjects, session, objects, maxCount, found);
}

void Pkcs11Module::C_FindObjectsFinal(CK_SESSION_HANDLE session) {
    LOGGED_CALL(functions_, C_FindObjectsFinal, session);
}

void Pkcs11Module::C_EncryptInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism,
                                 CK_OBJECT_HANDLE key) {
    LOGGED_CALL(functions_, C_EncryptInit, session, mechanism, key);
}

void Pkcs11Module::C_Encrypt(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG dataLength,
                             CK_BYTE_PTR encrypted, CK_ULONG_PTR encryptedLength) {
    LOGGED_CALL(functions_, C_Encrypt, session, data, dataLength, encrypted, encryptedLength);
}

void Pkcs11Module::C_DecryptInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism,
                                 CK_OBJECT_HANDLE key) {
    LOGGED_CALL(functions_, C_DecryptInit, session, mechanism, key);
}

void Pkcs11Module::C_Decrypt(CK_SESSION_HANDLE session, CK_BYTE_PTR encrypted,
                             CK_ULONG encryptedLength, CK_BYTE_PTR data, CK_ULONG_PTR dataLength) {
    LOGGED_CALL(functions_, C_Decrypt, session, encrypted, encryptedLength, data, dataLength);
}

void Pkcs11Module::C_DigestInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism) {
    LOGGED_CALL(functions_, C_DigestInit, session, mechanism);
}

void Pkcs11Module::C_Digest(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG dataLength,
                            CK_BYTE_PTR digest, CK_ULONG_PTR digestLength) {
    LOGGED_CALL(functions_, C_Digest, session, data, dataLength, digest, digestLength);
}

void Pkcs11Module::C_SignInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism,
                              CK_OBJECT_HANDLE key) {
    LOGGED_CALL(functions_, C_SignInit, session, mechanism, key);
}

void Pkcs11Module::C_Sign(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG dataLength,
                          CK_BYTE_PTR signature, CK_ULONG_PTR signatureLength) {
    LOGGED_CALL(functions_, C_Sign, session, data, dataLength, signature, signatureLength);
}

void Pkcs11Module::C_VerifyInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism,
                                CK_OBJECT_HANDLE key) {
    LOGGED_CALL(functions_, C_VerifyInit, session, mechanism, key);
}

void Pkcs11Module::C_Verify(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG dataLength,
                            CK_BYTE_PTR signature, CK_ULONG signatureLength) {
    LOGGED_CALL(functions_, C_Verify, session, data, dataLength, signature, signatureLength);
}

void Pkcs11Module::C_EX_GetFunctionListExtended(ExtendedFunctionList** list) {
    LOGGED_CALL(extended_, C_EX_GetFunctionListExtended, list);
}

void Pkcs11Module::C_EX_GetTokenInfoExtended(CK_SLOT_ID slot, TokenInfoExtended* info) {
    LOGGED_CALL(extended_, C_EX_GetTokenInfoExtended, slot, info);
}

void Pkcs11Module::C_EX_SetLocalPIN(CK_SLOT_ID slot, CK_UTF8CHAR_PTR oldPin, CK_ULONG oldLength,
                                    CK_UTF8CHAR_PTR newPin, CK_ULONG newLength, CK_ULONG pinId) {
    LOGGED_CALL(extended_, C_EX_SetLocalPIN, slot, oldPin, oldLength, newPin, newLength, pinId);
}

void Pkcs11Module::C_EX_GetJournal(CK_SLOT_ID slot, CK_BYTE_PTR journal,
                                   CK_ULONG_PTR journalLength) {
    LOGGED_CALL(extended_, C_EX_GetJournal, slot, journal, journalLength);
}

void Pkcs11Module::C_EX_SignInvisibleInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism,
                                          CK_OBJECT_HANDLE key) {
    LOGGED_CALL(extended_, C_EX_SignInvisibleInit, session, mechanism, key);
}

void Pkcs11Module::C_EX_SignInvisible(CK_SESSION_HANDLE session, CK_BYTE_PTR data,
                                      CK_ULONG dataLength, CK_BYTE_PTR signature,
                                      CK_ULONG_PTR signatureLength) {
    LOGGED_CALL(extended_, C_EX_SignInvisible, session, data, dataLength, signature,
                signatureLength);
}
