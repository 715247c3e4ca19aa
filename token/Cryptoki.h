// Cryptoki types for the token's module, in each platform's convention, plus the maker's
// extensions: the vendor-defined constants, the extended function list and the extended
// token information record. Shared by the workstation and the software token.
//
// Windows x64: CK_ULONG is 32 bits and every structure is packed to one byte (p11-kit's
// header packs on _WIN32). Linux x86-64: CK_ULONG is 64 bits with natural alignment, as every
// Linux module and client expects.
#pragma once

#include <cstddef>
#include <p11-kit/pkcs11.h>

// GOST mechanisms and key types of the TC 26 vendor range (0x80000000 | 0x54321000).
inline constexpr CK_KEY_TYPE CKK_GOSTR3410_512 = 0xD4321003UL;
inline constexpr CK_MECHANISM_TYPE CKM_GOSTR3410_512 = 0xD4321006UL;
inline constexpr CK_MECHANISM_TYPE CKM_GOSTR3411_12_256 = 0xD4321012UL;
inline constexpr CK_MECHANISM_TYPE CKM_GOSTR3411_12_512 = 0xD4321013UL;

// The maker's CK_BBOOL attributes of key objects.
inline constexpr CK_ATTRIBUTE_TYPE VENDOR_ATTR_PIN = 0x80002000UL;
inline constexpr CK_ATTRIBUTE_TYPE VENDOR_ATTR_VISUAL = 0x80002001UL;
inline constexpr CK_ATTRIBUTE_TYPE VENDOR_ATTR_JOURNAL = 0x80002002UL;

// Identifier of PIN2, the PIN that the screen model takes on its own screen.
inline constexpr CK_ULONG LOCAL_PIN_ID = 31;

// Bit of TokenInfoExtended::flags that marks the checksum as not valid.
inline constexpr CK_ULONG CHECKSUM_INVALID_FLAG = 0x80000000UL;

#if defined(_WIN32)
#pragma pack(push, 1)
#endif

// The extended token information record: 39 CK_ULONG fields.
struct TokenInfoExtended {
    CK_ULONG size;
    CK_ULONG reserved1[4];
    CK_ULONG flags;
    CK_ULONG reserved2[32];
    CK_ULONG checksum;
};

struct ExtendedFunctionList;

extern "C" {
typedef CK_RV (*CK_EX_GetFunctionListExtended)(ExtendedFunctionList** list);
typedef CK_RV (*CK_EX_GetTokenInfoExtended)(CK_SLOT_ID slot, TokenInfoExtended* info);
typedef CK_RV (*CK_EX_SetLocalPIN)(CK_SLOT_ID slot, CK_UTF8CHAR_PTR oldPin, CK_ULONG oldPinLen,
                                   CK_UTF8CHAR_PTR newPin, CK_ULONG newPinLen, CK_ULONG pinId);
typedef CK_RV (*CK_EX_GetJournal)(CK_SLOT_ID slot, CK_BYTE_PTR journal, CK_ULONG_PTR journalLen);
typedef CK_RV (*CK_EX_SignInvisibleInit)(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism,
                                         CK_OBJECT_HANDLE key);
typedef CK_RV (*CK_EX_SignInvisible)(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG dataLen,
                                     CK_BYTE_PTR signature, CK_ULONG_PTR signatureLen);
// An entry the workstation never calls.
typedef CK_RV (*CK_EX_Unused)(void);
}

// The maker's extended function list: a version and 24 entry points.
struct ExtendedFunctionList {
    CK_VERSION version;
    CK_EX_GetFunctionListExtended C_EX_GetFunctionListExtended; // 0
    CK_EX_Unused reserved1;                                     // 1
    CK_EX_GetTokenInfoExtended C_EX_GetTokenInfoExtended;       // 2
    CK_EX_Unused reserved3[9];                                  // 3 to 11
    CK_EX_SetLocalPIN C_EX_SetLocalPIN;                         // 12
    CK_EX_Unused reserved13[8];                                 // 13 to 20
    CK_EX_GetJournal C_EX_GetJournal;                           // 21
    CK_EX_SignInvisibleInit C_EX_SignInvisibleInit;             // 22
    CK_EX_SignInvisible C_EX_SignInvisible;                     // 23
};

#if defined(_WIN32)
#pragma pack(pop)
#endif

inline constexpr std::size_t kStandardEntryCount = 68;
inline constexpr std::size_t kExtendedEntryCount = 24;

// Entry n of either list lies n pointers after entry 0.
static_assert(offsetof(ExtendedFunctionList, C_EX_SignInvisible) -
                  offsetof(ExtendedFunctionList, C_EX_GetFunctionListExtended) ==
              (kExtendedEntryCount - 1) * sizeof(void*));
static_assert(offsetof(CK_FUNCTION_LIST, C_WaitForSlotEvent) -
                  offsetof(CK_FUNCTION_LIST, C_Initialize) ==
              (kStandardEntryCount - 1) * sizeof(void*));
static_assert(sizeof(TokenInfoExtended) == 39 * sizeof(CK_ULONG));

#if defined(_WIN32)
// The numbers the maker's module is built with.
static_assert(sizeof(CK_ULONG) == 4);
static_assert(sizeof(CK_FUNCTION_LIST) == 546);
static_assert(sizeof(ExtendedFunctionList) == 194);
static_assert(sizeof(TokenInfoExtended) == 156);
static_assert(offsetof(TokenInfoExtended, flags) == 20);
static_assert(offsetof(TokenInfoExtended, checksum) == 152);
static_assert(offsetof(ExtendedFunctionList, C_EX_SignInvisible) == 2 + 8 * 23);
static_assert(offsetof(CK_FUNCTION_LIST, C_GetFunctionList) == 2 + 8 * 3);
static_assert(offsetof(CK_FUNCTION_LIST, C_WaitForSlotEvent) == 2 + 8 * 67);
static_assert(offsetof(CK_FUNCTION_LIST, C_Initialize) == 2);
static_assert(offsetof(ExtendedFunctionList, C_EX_GetFunctionListExtended) == 2);
static_assert(offsetof(CK_MECHANISM, pParameter) == 4);
static_assert(offsetof(CK_ATTRIBUTE, pValue) == 4);
#endif
