// The binding to the token maker's PKCS#11 module: it loads the library, holds the standard
// and the maker's extended function lists, and offers one logged wrapper per function the
// workstation calls. Each wrapper passes its arguments through unchanged, writes one line to
// the operation log and throws Pkcs11Exception for any code other than CKR_OK.
#pragma once

#include "token/Cryptoki.h"

#include <stdexcept>
#include <string_view>
#include <vector>

struct Pkcs11ModuleTestAccess;

// The platform loader could not load the module. Its message is "LoadLibrary", the text the
// workstation shows; the loader's own error number (GetLastError on Windows, 0 where the
// loader has none) goes with it for a program that explains the failure.
class ModuleLoadError : public std::runtime_error {
public:
    explicit ModuleLoadError(unsigned long code) : std::runtime_error("LoadLibrary"), code_(code) {}
    unsigned long code() const noexcept { return code_; }

private:
    unsigned long code_;
};

class Pkcs11Module {
public:
    // Loads the module and fetches both function lists. Throws ModuleLoadError when the library
    // cannot be loaded, std::runtime_error when one of its two list entry points is missing or
    // a list is not handed over, and Pkcs11Exception when a list call fails; nothing stays
    // loaded then.
    Pkcs11Module();
    // Unloads the library; C_Finalize is the caller's business.
    ~Pkcs11Module();

    Pkcs11Module(const Pkcs11Module&) = delete;
    Pkcs11Module& operator=(const Pkcs11Module&) = delete;

    // The names of the entries below that the module's lists leave empty, in list order; a
    // wrapper answers such an entry with CKR_FUNCTION_NOT_SUPPORTED.
    std::vector<std::string_view> missingEntries() const;

    void C_Initialize(CK_VOID_PTR initArgs);
    void C_Finalize(CK_VOID_PTR reserved);
    void C_GetFunctionList(CK_FUNCTION_LIST_PTR_PTR list);
    void C_GetSlotList(CK_BBOOL tokenPresent, CK_SLOT_ID_PTR slots, CK_ULONG_PTR count);
    void C_GetTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO_PTR info);
    void C_SetPIN(CK_SESSION_HANDLE session, CK_UTF8CHAR_PTR oldPin, CK_ULONG oldLength,
                  CK_UTF8CHAR_PTR newPin, CK_ULONG newLength);
    void C_OpenSession(CK_SLOT_ID slot, CK_FLAGS flags, CK_VOID_PTR application, CK_NOTIFY notify,
                       CK_SESSION_HANDLE_PTR session);
    void C_CloseSession(CK_SESSION_HANDLE session);
    void C_Login(CK_SESSION_HANDLE session, CK_USER_TYPE userType, CK_UTF8CHAR_PTR pin,
                 CK_ULONG pinLength);
    void C_GetAttributeValue(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                             CK_ATTRIBUTE_PTR attributes, CK_ULONG count);
    void C_FindObjectsInit(CK_SESSION_HANDLE session, CK_ATTRIBUTE_PTR attributes, CK_ULONG count);
    void C_FindObjects(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE_PTR objects, CK_ULONG maxCount,
                       CK_ULONG_PTR found);
    void C_FindObjectsFinal(CK_SESSION_HANDLE session);
    void C_EncryptInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key);
    void C_Encrypt(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG dataLength,
                   CK_BYTE_PTR encrypted, CK_ULONG_PTR encryptedLength);
    void C_DecryptInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key);
    void C_Decrypt(CK_SESSION_HANDLE session, CK_BYTE_PTR encrypted, CK_ULONG encryptedLength,
                   CK_BYTE_PTR data, CK_ULONG_PTR dataLength);
    void C_DigestInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism);
    void C_Digest(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG dataLength,
                  CK_BYTE_PTR digest, CK_ULONG_PTR digestLength);
    void C_SignInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key);
    void C_Sign(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG dataLength,
                CK_BYTE_PTR signature, CK_ULONG_PTR signatureLength);
    void C_VerifyInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key);
    void C_Verify(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG dataLength,
                  CK_BYTE_PTR signature, CK_ULONG signatureLength);

    void C_EX_GetFunctionListExtended(ExtendedFunctionList** list);
    void C_EX_GetTokenInfoExtended(CK_SLOT_ID slot, TokenInfoExtended* info);
    void C_EX_SetLocalPIN(CK_SLOT_ID slot, CK_UTF8CHAR_PTR oldPin, CK_ULONG oldLength,
                          CK_UTF8CHAR_PTR newPin, CK_ULONG newLength, CK_ULONG pinId);
    void C_EX_GetJournal(CK_SLOT_ID slot, CK_BYTE_PTR journal, CK_ULONG_PTR journalLength);
    void C_EX_SignInvisibleInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism,
                                CK_OBJECT_HANDLE key);
    void C_EX_SignInvisible(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG dataLength,
                            CK_BYTE_PTR signature, CK_ULONG_PTR signatureLength);

private:
    // Tests load fixture libraries by name and swap the lists to inject faults.
    friend struct ::Pkcs11ModuleTestAccess;
    explicit Pkcs11Module(const char* libraryName);
    void load(const char* libraryName);

    void* library_ = nullptr;
    CK_FUNCTION_LIST_PTR functions_ = nullptr;
    ExtendedFunctionList* extended_ = nullptr;
};
