// The fuzzing module. Every answer comes from the input, zero being the ordinary one: the
// return code; every length it reports (the true one, 0, one more or one less, "unavailable",
// 2 GiB, 4 GiB less two, any other); the lists, present or not and with entries missing; the
// token's identity; the slots, the objects a search finds and their attributes; the outputs.
// It writes only within the buffers and lengths it is given and reads every byte it is given,
// so that what the sanitizers find is the caller's. A call that breaks the interface's rules
// is a finding too: a search begun and never ended, a session, slot or object the module never
// named, a call before C_Initialize or after C_Finalize.
#include "FuzzingModule.h"

#include "FuzzInput.h"
#include "token/Cryptoki.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <set>
#include <string_view>
#include <vector>

#define FUZZ_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Run {
    FuzzInput in;
    bool initialized = false;
    std::set<CK_SLOT_ID> slots;
    std::set<CK_SESSION_HANDLE> sessions;
    std::set<CK_OBJECT_HANDLE> objects;
    bool searching = false;
    bool searchesEnd = true; // false when the list lacks C_FindObjectsFinal
    int batches = 0;
    CK_OBJECT_HANDLE nextObject = 1;
    CK_ULONG digestSize = 32;
    CK_ULONG signatureSize = 64;
};

Run run;

// Failures, one of each kind the caller must survive; the last is an unknown code (wider than
// 32 bits where CK_RV is).
constexpr CK_RV kFailures[] = {CKR_DEVICE_ERROR,
                               CKR_BUFFER_TOO_SMALL,
                               CKR_GENERAL_ERROR,
                               CKR_FUNCTION_FAILED,
                               CKR_ARGUMENTS_BAD,
                               CKR_OPERATION_ACTIVE,
                               CKR_SIGNATURE_INVALID,
                               CKR_SIGNATURE_LEN_RANGE,
                               CKR_PIN_INCORRECT,
                               CKR_PIN_LOCKED,
                               CKR_PIN_LEN_RANGE,
                               CKR_USER_NOT_LOGGED_IN,
                               CKR_TOKEN_NOT_PRESENT,
                               CKR_FUNCTION_NOT_SUPPORTED,
                               CKR_ATTRIBUTE_TYPE_INVALID,
                               CKR_DATA_LEN_RANGE,
                               CKR_FUNCTION_CANCELED,
                               CKR_VENDOR_DEFINED | 1,
                               static_cast<CK_RV>(~CK_RV{0})};

CK_RV code() {
    const std::uint8_t choice = run.in.byte();
    return choice < 0xC0 ? CKR_OK : kFailures[(choice - 0xC0) % std::size(kFailures)];
}

// The true length, or one of the lies: 0, "unavailable", one more, one less, 4 GiB less two,
// 2 GiB, any 32-bit value, all bits but the last.
CK_ULONG length(CK_ULONG truth) {
    const std::uint8_t choice = run.in.byte() % 16;
    if (choice == 7) {
        return run.in.u32();
    }
    const CK_ULONG lies[] = {truth,
                             0,
                             CK_UNAVAILABLE_INFORMATION,
                             truth + 1,
                             truth - (truth > 0 ? 1 : 0),
                             0xFFFFFFFEUL,
                             0x80000000UL,
                             truth,
                             ~CK_ULONG{1}};
    return choice < std::size(lies) ? lies[choice] : truth;
}

// Reads every byte the caller says it gives.
void take(const void* bytes, CK_ULONG count, const char* call) {
    if (bytes == nullptr) {
        if (count != 0) {
            finding("a length without its bytes", call);
        }
        return;
    }
    const auto* p = static_cast<const volatile unsigned char*>(bytes);
    unsigned char sum = 0;
    for (CK_ULONG i = 0; i < count; ++i) {
        sum = static_cast<unsigned char>(sum + p[i]);
    }
    static_cast<void>(sum);
}

void fill(CK_BYTE_PTR out, CK_ULONG count) {
    const unsigned char salt = run.in.byte();
    for (CK_ULONG i = 0; i < count; ++i) {
        out[i] = static_cast<unsigned char>(salt + i * 131);
    }
}

// Blank-padded text, or bytes of the input.
template <std::size_t N>
void field(unsigned char (&out)[N], std::string_view ordinary) {
    std::memset(out, ' ', N);
    if (run.in.byte() % 4 == 0) {
        std::memcpy(out, ordinary.data(), std::min(N, ordinary.size()));
    } else {
        for (unsigned char& b : out) {
            b = run.in.byte();
        }
    }
}

void requireInitialized(const char* call) {
    if (!run.initialized) {
        finding("a call before C_Initialize succeeded or after C_Finalize", call);
    }
}

void requireSlot(CK_SLOT_ID slot, const char* call) {
    requireInitialized(call);
    if (!run.slots.contains(slot)) {
        finding("a slot the module never named", call);
    }
}

void requireSession(CK_SESSION_HANDLE session, const char* call) {
    requireInitialized(call);
    if (!run.sessions.contains(session)) {
        finding("a session the module never opened", call);
    }
}

void requireObject(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object, const char* call) {
    requireSession(session, call);
    if (!run.objects.contains(object)) {
        finding("an object the module never named", call);
    }
}

void requireNoSearch(const char* call) {
    if (run.searching && run.searchesEnd) {
        finding("a search begun was never ended", call);
    }
}

void takeMechanism(CK_MECHANISM_PTR mechanism, const char* call) {
    if (mechanism == nullptr) {
        finding("no mechanism", call);
    }
    take(mechanism->pParameter, mechanism->ulParameterLen, call);
}

// The single-part output calls: a size query with a null buffer, or the bytes.
CK_RV output(CK_BYTE_PTR out, CK_ULONG_PTR outLength, CK_ULONG truth, const char* call) {
    if (outLength == nullptr) {
        finding("an output call without its length", call);
    }
    const CK_RV rv = code();
    if (rv != CKR_OK && rv != CKR_BUFFER_TOO_SMALL) {
        return rv;
    }
    if (out != nullptr) {
        fill(out, std::min(*outLength, truth));
    }
    *outLength = length(truth);
    return rv;
}

std::vector<unsigned char> attributeValue(CK_ATTRIBUTE_TYPE type, CK_OBJECT_HANDLE object) {
    switch (run.in.byte() % 8) {
    case 1:
        return {};
    case 2:
        return run.in.bytes(run.in.byte());
    case 3:
        return {0};
    default:
        break;
    }
    static constexpr unsigned char kHashOids[3][10] = {
        {0x06, 0x07, 0x2A, 0x85, 0x03, 0x02, 0x02, 0x1E, 0x01},
        {0x06, 0x08, 0x2A, 0x85, 0x03, 0x07, 0x01, 0x01, 0x02, 0x02},
        {0x06, 0x08, 0x2A, 0x85, 0x03, 0x07, 0x01, 0x01, 0x02, 0x03}};
    static constexpr std::string_view kLabel = "Ключ подписи";
    switch (type) {
    case CKA_LABEL:
        return {kLabel.begin(), kLabel.end()};
    case CKA_ID:
        return {static_cast<unsigned char>(object)};
    case CKA_GOSTR3411_PARAMS: {
        const unsigned char* oid = kHashOids[object % 3];
        return {oid, oid + (object % 3 == 0 ? 9 : 10)};
    }
    case VENDOR_ATTR_PIN:
    case VENDOR_ATTR_VISUAL:
    case VENDOR_ATTR_JOURNAL:
        return {1};
    default:
        return {};
    }
}

CK_OBJECT_HANDLE foundObject() {
    CK_OBJECT_HANDLE object = 0;
    switch (run.in.byte() % 4) {
    case 1:
        object = 0;
        break;
    case 2:
        object = run.nextObject - 1; // the one before, again
        break;
    case 3:
        object = run.in.u32();
        break;
    default:
        object = run.nextObject++;
        break;
    }
    run.objects.insert(object);
    return object;
}

CK_RV initialize(CK_VOID_PTR) {
    if (run.initialized) {
        finding("C_Initialize twice");
    }
    const CK_RV rv = code();
    run.initialized = rv == CKR_OK;
    return rv;
}

CK_RV finalize(CK_VOID_PTR) {
    requireInitialized("C_Finalize");
    requireNoSearch("C_Finalize");
    run.initialized = false;
    run.sessions.clear();
    return code();
}

CK_RV getSlotList(CK_BBOOL, CK_SLOT_ID_PTR slots, CK_ULONG_PTR count) {
    requireInitialized("C_GetSlotList");
    if (count == nullptr) {
        finding("no count", "C_GetSlotList");
    }
    const CK_RV rv = code();
    if (rv != CKR_OK && rv != CKR_BUFFER_TOO_SMALL) {
        return rv;
    }
    const CK_ULONG reported = length(1);
    if (slots != nullptr) {
        for (CK_ULONG i = 0; i < std::min(*count, reported); ++i) {
            slots[i] = run.in.byte() % 4 == 0 ? 1 : run.in.u32();
            run.slots.insert(slots[i]);
        }
    }
    *count = reported;
    return rv;
}

CK_RV getTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO_PTR info) {
    requireSlot(slot, "C_GetTokenInfo");
    if (info == nullptr) {
        finding("no token information", "C_GetTokenInfo");
    }
    const CK_RV rv = code();
    if (rv != CKR_OK) {
        return rv;
    }
    CK_TOKEN_INFO filled{};
    field(filled.label, "Токен");
    field(filled.manufacturerID, "Veltora");
    field(filled.model, run.in.byte() % 2 == 0 ? "Veltora QRD" : "Veltora Lumora 2");
    field(filled.serialNumber, "1A2B3C4D");
    filled.flags = run.in.byte() % 2 == 0 ? CKF_LOGIN_REQUIRED : run.in.u32();
    filled.firmwareVersion = {1, 2};
    if (run.in.byte() % 2 != 0) {
        filled.firmwareVersion = {run.in.byte(), run.in.byte()};
    }
    *info = filled;
    return rv;
}

CK_RV getTokenInfoExtended(CK_SLOT_ID slot, TokenInfoExtended* info) {
    requireSlot(slot, "C_EX_GetTokenInfoExtended");
    if (info == nullptr) {
        finding("no record", "C_EX_GetTokenInfoExtended");
    }
    const CK_RV rv = code();
    if (rv != CKR_OK) {
        return rv;
    }
    info->size = run.in.byte() % 2 == 0 ? sizeof(TokenInfoExtended) : run.in.u32();
    info->flags = run.in.byte() % 2 == 0 ? 0 : run.in.u32();
    info->checksum = run.in.u32();
    return rv;
}

CK_RV openSession(CK_SLOT_ID slot, CK_FLAGS, CK_VOID_PTR, CK_NOTIFY,
                  CK_SESSION_HANDLE_PTR session) {
    requireSlot(slot, "C_OpenSession");
    if (session == nullptr) {
        finding("no session handle", "C_OpenSession");
    }
    const CK_RV rv = code();
    if (rv == CKR_OK) {
        *session = run.in.byte() % 2 == 0 ? 1 : run.in.u32();
        run.sessions.insert(*session);
    }
    return rv;
}

CK_RV closeSession(CK_SESSION_HANDLE session) {
    requireSession(session, "C_CloseSession");
    requireNoSearch("C_CloseSession");
    run.sessions.erase(session);
    return code();
}

CK_RV login(CK_SESSION_HANDLE session, CK_USER_TYPE, CK_UTF8CHAR_PTR pin, CK_ULONG pinLength) {
    requireSession(session, "C_Login");
    take(pin, pinLength, "C_Login");
    return code();
}

CK_RV setPin(CK_SESSION_HANDLE session, CK_UTF8CHAR_PTR oldPin, CK_ULONG oldLength,
             CK_UTF8CHAR_PTR newPin, CK_ULONG newLength) {
    requireSession(session, "C_SetPIN");
    take(oldPin, oldLength, "C_SetPIN");
    take(newPin, newLength, "C_SetPIN");
    return code();
}

CK_RV getAttributeValue(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                        CK_ATTRIBUTE_PTR attributes, CK_ULONG count) {
    requireObject(session, object, "C_GetAttributeValue");
    if (attributes == nullptr && count != 0) {
        finding("a count without its attributes", "C_GetAttributeValue");
    }
    const CK_RV rv = code();
    if (rv != CKR_OK && rv != CKR_BUFFER_TOO_SMALL && rv != CKR_ATTRIBUTE_TYPE_INVALID) {
        return rv;
    }
    for (CK_ULONG i = 0; i < count; ++i) {
        CK_ATTRIBUTE& attribute = attributes[i];
        const std::vector<unsigned char> value = attributeValue(attribute.type, object);
        if (attribute.pValue != nullptr) {
            const CK_ULONG copied = std::min<CK_ULONG>(attribute.ulValueLen, value.size());
            std::copy_n(value.begin(), copied, static_cast<unsigned char*>(attribute.pValue));
        }
        attribute.ulValueLen = length(value.size());
    }
    return rv;
}

CK_RV findObjectsInit(CK_SESSION_HANDLE session, CK_ATTRIBUTE_PTR attributes, CK_ULONG count) {
    requireSession(session, "C_FindObjectsInit");
    requireNoSearch("C_FindObjectsInit");
    take(attributes, count * sizeof(CK_ATTRIBUTE), "C_FindObjectsInit");
    for (CK_ULONG i = 0; i < count; ++i) {
        take(attributes[i].pValue, attributes[i].ulValueLen, "C_FindObjectsInit");
    }
    const CK_RV rv = code();
    if (rv == CKR_OK) {
        run.searching = true;
        run.batches = 0;
    }
    return rv;
}

CK_RV findObjects(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE_PTR objects, CK_ULONG maxCount,
                  CK_ULONG_PTR found) {
    requireSession(session, "C_FindObjects");
    if (!run.searching) {
        finding("no search under way", "C_FindObjects");
    }
    if (found == nullptr || (objects == nullptr && maxCount != 0)) {
        finding("no room for the answer", "C_FindObjects");
    }
    const CK_RV rv = code();
    if (rv != CKR_OK) {
        return rv;
    }
    const CK_ULONG reported = length(run.batches++ == 0 ? 2 : 0);
    for (CK_ULONG i = 0; i < std::min(reported, maxCount); ++i) {
        objects[i] = foundObject();
    }
    *found = reported;
    return rv;
}

CK_RV findObjectsFinal(CK_SESSION_HANDLE session) {
    requireSession(session, "C_FindObjectsFinal");
    if (!run.searching) {
        finding("no search under way", "C_FindObjectsFinal");
    }
    run.searching = false;
    return code();
}

CK_RV digestInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism) {
    requireSession(session, "C_DigestInit");
    takeMechanism(mechanism, "C_DigestInit");
    run.digestSize = mechanism->mechanism == CKM_GOSTR3411_12_512 ? 64 : 32;
    return code();
}

CK_RV keyInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key,
              const char* call) {
    requireObject(session, key, call);
    takeMechanism(mechanism, call);
    run.signatureSize = mechanism->mechanism == CKM_GOSTR3410_512 ? 128 : 64;
    return code();
}

CK_RV signInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key) {
    return keyInit(session, mechanism, key, "C_SignInit");
}
CK_RV signInvisibleInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism,
                        CK_OBJECT_HANDLE key) {
    return keyInit(session, mechanism, key, "C_EX_SignInvisibleInit");
}
CK_RV verifyInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key) {
    return keyInit(session, mechanism, key, "C_VerifyInit");
}
CK_RV encryptInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key) {
    return keyInit(session, mechanism, key, "C_EncryptInit");
}
CK_RV decryptInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key) {
    return keyInit(session, mechanism, key, "C_DecryptInit");
}

// The output calls of the operations: how long their true output is, from their input.
enum class Produces { Digest, Signature, Cipher };

template <Produces kind>
CK_RV produce(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG dataLength, CK_BYTE_PTR out,
              CK_ULONG_PTR outLength) {
    requireSession(session, "an output call");
    take(data, dataLength, "an output call");
    const CK_ULONG truth = kind == Produces::Digest      ? run.digestSize
                           : kind == Produces::Signature ? run.signatureSize
                                                         : dataLength;
    return output(out, outLength, truth, "an output call");
}

CK_RV verify(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG dataLength,
             CK_BYTE_PTR signature, CK_ULONG signatureLength) {
    requireSession(session, "C_Verify");
    take(data, dataLength, "C_Verify");
    take(signature, signatureLength, "C_Verify");
    return code();
}

CK_RV setLocalPin(CK_SLOT_ID slot, CK_UTF8CHAR_PTR oldPin, CK_ULONG oldLength,
                  CK_UTF8CHAR_PTR newPin, CK_ULONG newLength, CK_ULONG) {
    requireSlot(slot, "C_EX_SetLocalPIN");
    take(oldPin, oldLength, "C_EX_SetLocalPIN");
    take(newPin, newLength, "C_EX_SetLocalPIN");
    return code();
}

CK_RV getJournal(CK_SLOT_ID slot, CK_BYTE_PTR out, CK_ULONG_PTR outLength) {
    requireSlot(slot, "C_EX_GetJournal");
    // One record: counter, kind, a 1-byte key id with its length, a 32-byte digest with its.
    return output(out, outLength, 4 + 1 + 2 + 1 + 1 + 32, "C_EX_GetJournal");
}

CK_FUNCTION_LIST standardList;
ExtendedFunctionList extendedList;

// Empties the entry at that position (entry n lies n pointers after entry 0).
template <typename List>
void removeEntry(List& list, std::size_t firstEntry, std::size_t position) {
    void* none = nullptr;
    std::memcpy(reinterpret_cast<unsigned char*>(&list) + firstEntry + position * sizeof none,
                &none, sizeof none);
}

} // namespace

FUZZ_EXPORT void fuzzModuleAnswerWith(const std::uint8_t* data, std::size_t size) {
    run = Run{};
    run.in = FuzzInput(data, size);
}

FUZZ_EXPORT std::uint8_t fuzzModuleChoice() {
    return run.in.byte();
}

FUZZ_EXPORT CK_RV C_GetFunctionList(CK_FUNCTION_LIST_PTR_PTR list) {
    if (list == nullptr) {
        finding("no list pointer", "C_GetFunctionList");
    }
    standardList = CK_FUNCTION_LIST{};
    standardList.version = {2, 40};
    standardList.C_Initialize = &initialize;
    standardList.C_Finalize = &finalize;
    standardList.C_GetFunctionList = &C_GetFunctionList;
    standardList.C_GetSlotList = &getSlotList;
    standardList.C_GetTokenInfo = &getTokenInfo;
    standardList.C_SetPIN = &setPin;
    standardList.C_OpenSession = &openSession;
    standardList.C_CloseSession = &closeSession;
    standardList.C_Login = &login;
    standardList.C_GetAttributeValue = &getAttributeValue;
    standardList.C_FindObjectsInit = &findObjectsInit;
    standardList.C_FindObjects = &findObjects;
    standardList.C_FindObjectsFinal = &findObjectsFinal;
    standardList.C_EncryptInit = &encryptInit;
    standardList.C_Encrypt = &produce<Produces::Cipher>;
    standardList.C_DecryptInit = &decryptInit;
    standardList.C_Decrypt = &produce<Produces::Cipher>;
    standardList.C_DigestInit = &digestInit;
    standardList.C_Digest = &produce<Produces::Digest>;
    standardList.C_SignInit = &signInit;
    standardList.C_Sign = &produce<Produces::Signature>;
    standardList.C_VerifyInit = &verifyInit;
    standardList.C_Verify = &verify;
    switch (run.in.byte() % 8) {
    case 1:
        return CKR_OK; // and no list
    case 2:
        return CKR_GENERAL_ERROR;
    case 3: {
        const std::size_t first = offsetof(CK_FUNCTION_LIST, C_Initialize);
        const std::size_t removed = run.in.byte() % kStandardEntryCount;
        removeEntry(standardList, first, removed);
        // Without that entry no caller can end a search.
        run.searchesEnd =
            removed != (offsetof(CK_FUNCTION_LIST, C_FindObjectsFinal) - first) / sizeof(void*);
        break;
    }
    default:
        break;
    }
    *list = &standardList;
    return CKR_OK;
}

FUZZ_EXPORT CK_RV C_EX_GetFunctionListExtended(ExtendedFunctionList** list) {
    if (list == nullptr) {
        finding("no list pointer", "C_EX_GetFunctionListExtended");
    }
    extendedList = ExtendedFunctionList{};
    extendedList.version = {1, 0};
    extendedList.C_EX_GetFunctionListExtended = &C_EX_GetFunctionListExtended;
    extendedList.C_EX_GetTokenInfoExtended = &getTokenInfoExtended;
    extendedList.C_EX_SetLocalPIN = &setLocalPin;
    extendedList.C_EX_GetJournal = &getJournal;
    extendedList.C_EX_SignInvisibleInit = &signInvisibleInit;
    extendedList.C_EX_SignInvisible = &produce<Produces::Signature>;
    switch (run.in.byte() % 8) {
    case 1:
        return CKR_OK;
    case 2:
        return CKR_GENERAL_ERROR;
    case 3:
        extendedList = ExtendedFunctionList{}; // a list without the extensions
        break;
    case 4:
        removeEntry(extendedList, offsetof(ExtendedFunctionList, C_EX_GetFunctionListExtended),
                    run.in.byte() % kExtendedEntryCount);
        break;
    default:
        break;
    }
    *list = &extendedList;
    return CKR_OK;
}
