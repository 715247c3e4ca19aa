// The software token's entry points as a hostile program calls them: up to 64 calls of both
// lists, each with arguments decoded from the input (sessions and objects the token gave and
// others, null pointers with lengths, buffers shorter or longer than the answer, right and
// wrong PINs, mechanisms with odd parameters), against a token of each model and an empty slot.
// Every buffer is as long as the call is told, so that what the sanitizers find is the
// module's. Every call answers a code (an exception crossing the boundary ends the process);
// CKR_GENERAL_ERROR, CKR_FUNCTION_FAILED and CKR_HOST_MEMORY, which the module answers for a
// failure of its own code, are findings, and so is a state file that no longer loads.
#include "FuzzInput.h"
#include "ScratchFolder.h"
#include "emulator/core/Module.h"
#include "emulator/core/StateFile.h"
#include "token/ReturnCodes.h"

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {

// Bytes handed to a call with the length it is told; or a null pointer with that length.
struct Buffer {
    std::vector<unsigned char> bytes;
    bool null = false;
    CK_ULONG length = 0;

    CK_BYTE_PTR data() { return null ? nullptr : bytes.data(); }
};

struct Template {
    std::vector<CK_ATTRIBUTE> attributes;
    std::vector<Buffer> values;
    bool null = false;

    CK_ATTRIBUTE_PTR data() { return null ? nullptr : attributes.data(); }
    CK_ULONG count() const { return attributes.size(); }
};

struct Mechanism {
    CK_MECHANISM mechanism{};
    Buffer parameter;
    bool null = false;

    CK_MECHANISM_PTR get() {
        mechanism.pParameter = parameter.data();
        mechanism.ulParameterLen = parameter.length;
        return null ? nullptr : &mechanism;
    }
};

// Locking functions a caller may offer; the module locks with the system's own and calls none.
CK_RV createMutex(CK_VOID_PTR_PTR) {
    return CKR_OK;
}
CK_RV useMutex(CK_VOID_PTR) {
    return CKR_OK;
}

class Caller {
public:
    Caller(FuzzInput& in, CK_FUNCTION_LIST& f, ExtendedFunctionList& x) : in_(in), f_(f), x_(x) {}

    void call() {
        switch (in_.byte() % 36) {
        case 0: {
            CK_C_INITIALIZE_ARGS args{};
            const std::uint8_t shape = in_.byte();
            args.flags = in_.byte();
            args.pReserved = shape & 1 ? &args : nullptr;
            if (shape & 2) {
                args.CreateMutex = &createMutex;
                args.DestroyMutex = &useMutex;
                args.LockMutex = &useMutex;
                args.UnlockMutex = shape & 4 ? nullptr : &useMutex;
            }
            check(f_.C_Initialize(shape & 8 ? nullptr : &args), "C_Initialize");
            break;
        }
        case 1: {
            int reserved = 0;
            check(f_.C_Finalize(in_.byte() % 4 == 1 ? &reserved : nullptr), "C_Finalize");
            break;
        }
        case 2: {
            CK_INFO info{};
            check(f_.C_GetInfo(maybe(info)), "C_GetInfo");
            break;
        }
        case 3: {
            const CK_BBOOL present = in_.byte() % 2;
            Buffer list = output(sizeof(CK_SLOT_ID));
            check(f_.C_GetSlotList(present, reinterpret_cast<CK_SLOT_ID_PTR>(list.data()),
                                   lengthOf(list)),
                  "C_GetSlotList");
            break;
        }
        case 4: {
            CK_SLOT_INFO info{};
            const CK_SLOT_ID where = slot();
            check(f_.C_GetSlotInfo(where, maybe(info)), "C_GetSlotInfo");
            break;
        }
        case 5: {
            CK_TOKEN_INFO info{};
            const CK_SLOT_ID where = slot();
            check(f_.C_GetTokenInfo(where, maybe(info)), "C_GetTokenInfo");
            break;
        }
        case 6: {
            const CK_SLOT_ID where = slot();
            Buffer list = output(sizeof(CK_MECHANISM_TYPE));
            check(f_.C_GetMechanismList(where, reinterpret_cast<CK_MECHANISM_TYPE_PTR>(list.data()),
                                        lengthOf(list)),
                  "C_GetMechanismList");
            break;
        }
        case 7: {
            CK_MECHANISM_INFO info{};
            const CK_SLOT_ID where = slot();
            const CK_MECHANISM_TYPE type = mechanismType();
            check(f_.C_GetMechanismInfo(where, type, maybe(info)), "C_GetMechanismInfo");
            break;
        }
        case 8: {
            static constexpr CK_FLAGS kFlags[] = {CKF_SERIAL_SESSION | CKF_RW_SESSION,
                                                  CKF_SERIAL_SESSION, CKF_RW_SESSION, 0};
            const CK_SLOT_ID where = slot();
            const std::uint8_t shape = in_.byte();
            CK_SESSION_HANDLE opened = 0;
            const CK_RV rv = f_.C_OpenSession(where, kFlags[shape % 4], nullptr, nullptr,
                                              shape & 4 ? nullptr : &opened);
            check(rv, "C_OpenSession");
            if (rv == CKR_OK && (shape & 4) == 0) {
                sessions_.push_back(opened);
            }
            break;
        }
        case 9:
            check(f_.C_CloseSession(session()), "C_CloseSession");
            break;
        case 10:
            check(f_.C_CloseAllSessions(slot()), "C_CloseAllSessions");
            break;
        case 11: {
            CK_SESSION_INFO info{};
            const CK_SESSION_HANDLE where = session();
            check(f_.C_GetSessionInfo(where, maybe(info)), "C_GetSessionInfo");
            break;
        }
        case 12: {
            static constexpr CK_USER_TYPE kUsers[] = {CKU_USER, CKU_SO, CKU_CONTEXT_SPECIFIC, 7};
            const CK_SESSION_HANDLE where = session();
            const CK_USER_TYPE user = kUsers[in_.byte() % 4];
            Buffer given = pin();
            check(f_.C_Login(where, user, given.data(), given.length), "C_Login");
            break;
        }
        case 13:
            check(f_.C_Logout(session()), "C_Logout");
            break;
        case 14: {
            const CK_SESSION_HANDLE where = session();
            Buffer old = pin();
            Buffer replacement = pin();
            check(
                f_.C_SetPIN(where, old.data(), old.length, replacement.data(), replacement.length),
                "C_SetPIN");
            break;
        }
        case 15: {
            const CK_SESSION_HANDLE where = session();
            const CK_OBJECT_HANDLE object = objectHandle();
            Template wanted = attributes();
            check(f_.C_GetAttributeValue(where, object, wanted.data(), wanted.count()),
                  "C_GetAttributeValue");
            break;
        }
        case 16: {
            const CK_SESSION_HANDLE where = session();
            Template pattern = attributes();
            check(f_.C_FindObjectsInit(where, pattern.data(), pattern.count()),
                  "C_FindObjectsInit");
            break;
        }
        case 17: {
            const CK_SESSION_HANDLE where = session();
            Buffer found = output(sizeof(CK_OBJECT_HANDLE));
            CK_ULONG count = 0;
            check(f_.C_FindObjects(where, reinterpret_cast<CK_OBJECT_HANDLE_PTR>(found.data()),
                                   found.length, maybe(count)),
                  "C_FindObjects");
            break;
        }
        case 18:
            check(f_.C_FindObjectsFinal(session()), "C_FindObjectsFinal");
            break;
        case 19: {
            const CK_SESSION_HANDLE where = session();
            Mechanism chosen = mechanism();
            check(f_.C_DigestInit(where, chosen.get()), "C_DigestInit");
            break;
        }
        case 20:
            single(f_.C_Digest, "C_Digest");
            break;
        case 21: {
            const CK_SESSION_HANDLE where = session();
            Buffer data = input();
            check(f_.C_DigestUpdate(where, data.data(), data.length), "C_DigestUpdate");
            break;
        }
        case 22: {
            const CK_SESSION_HANDLE where = session();
            Buffer out = output(1);
            check(f_.C_DigestFinal(where, out.data(), lengthOf(out)), "C_DigestFinal");
            break;
        }
        case 23:
            keyInit(f_.C_SignInit, "C_SignInit");
            break;
        case 24:
            single(f_.C_Sign, "C_Sign");
            break;
        case 25:
            keyInit(f_.C_VerifyInit, "C_VerifyInit");
            break;
        case 26: {
            const CK_SESSION_HANDLE where = session();
            Buffer data = input();
            Buffer signature = input();
            check(f_.C_Verify(where, data.data(), data.length, signature.data(), signature.length),
                  "C_Verify");
            break;
        }
        case 27:
            keyInit(f_.C_EncryptInit, "C_EncryptInit");
            break;
        case 28:
            single(f_.C_Encrypt, "C_Encrypt");
            break;
        case 29:
            keyInit(f_.C_DecryptInit, "C_DecryptInit");
            break;
        case 30:
            single(f_.C_Decrypt, "C_Decrypt");
            break;
        case 31: {
            TokenInfoExtended record{};
            const CK_SLOT_ID where = slot();
            check(x_.C_EX_GetTokenInfoExtended(where, maybe(record)), "C_EX_GetTokenInfoExtended");
            break;
        }
        case 32: {
            const CK_SLOT_ID where = slot();
            Buffer old = pin();
            Buffer replacement = pin();
            const CK_ULONG pinId = in_.byte() % 2 == 0 ? LOCAL_PIN_ID : in_.byte();
            check(x_.C_EX_SetLocalPIN(where, old.data(), old.length, replacement.data(),
                                      replacement.length, pinId),
                  "C_EX_SetLocalPIN");
            break;
        }
        case 33: {
            const CK_SLOT_ID where = slot();
            Buffer out = output(1);
            check(x_.C_EX_GetJournal(where, out.data(), lengthOf(out)), "C_EX_GetJournal");
            break;
        }
        case 34:
            keyInit(x_.C_EX_SignInvisibleInit, "C_EX_SignInvisibleInit");
            break;
        default:
            single(x_.C_EX_SignInvisible, "C_EX_SignInvisible");
            break;
        }
    }

private:
    static void check(CK_RV rv, const char* call) {
        if (rv == CKR_GENERAL_ERROR || rv == CKR_FUNCTION_FAILED || rv == CKR_HOST_MEMORY) {
            finding(token::returnCodeName(static_cast<token::ReturnCode>(rv)), call);
        }
    }

    // The structure, or now and then no pointer.
    template <typename T>
    T* maybe(T& value) {
        return in_.byte() % 4 == 1 ? nullptr : &value;
    }

    // Up to 255 bytes, or up to 65535 after a 0xFF.
    CK_ULONG size() {
        const std::uint8_t small = in_.byte();
        return small == 0xFF ? in_.u32() & 0xFFFF : small;
    }

    Buffer input() {
        const bool null = in_.byte() % 8 == 1;
        const CK_ULONG length = size();
        return null ? Buffer{{}, true, length} : Buffer{in_.bytes(length), false, length};
    }

    // Room for `size()` items of `unit` bytes, or a null pointer that asks for the length.
    Buffer output(std::size_t unit) {
        const bool null = in_.byte() % 4 == 1;
        const CK_ULONG length = size();
        return {std::vector<unsigned char>(null ? 0 : length * unit), null, length};
    }

    // The length argument of an output, or no pointer at all.
    CK_ULONG_PTR lengthOf(Buffer& out) { return in_.byte() % 8 == 1 ? nullptr : &out.length; }

    Buffer pin() {
        const std::uint8_t shape = in_.byte() % 6;
        const std::string text = shape == 0 ? "12345678" : shape == 1 ? "87654321" : "";
        if (shape < 2) {
            return {{text.begin(), text.end()}, false, static_cast<CK_ULONG>(text.size())};
        }
        if (shape == 5) {
            return {std::vector<unsigned char>(70, 'x'), false, 70};
        }
        return input();
    }

    CK_SLOT_ID slot() {
        static constexpr CK_SLOT_ID kSlots[] = {1, 2, 3, 0, 4, static_cast<CK_SLOT_ID>(~0ULL)};
        return kSlots[in_.byte() % 6];
    }

    CK_SESSION_HANDLE session() {
        const std::uint8_t choice = in_.byte();
        if (choice < 0xC0 && !sessions_.empty()) {
            return sessions_[choice % sessions_.size()];
        }
        return choice % 2 == 0 ? choice % 8 : static_cast<CK_SESSION_HANDLE>(~0ULL);
    }

    CK_OBJECT_HANDLE objectHandle() {
        const std::uint8_t choice = in_.byte();
        if (choice == 0xFF) {
            return static_cast<CK_OBJECT_HANDLE>(~0ULL); // beyond 32 bits where it is wider
        }
        return choice == 0xFE ? 0xFFFFFFFFUL : choice % 12;
    }

    CK_MECHANISM_TYPE mechanismType() {
        static constexpr CK_MECHANISM_TYPE kTypes[] = {CKM_GOSTR3411,        CKM_GOSTR3411_12_256,
                                                       CKM_GOSTR3411_12_512, CKM_GOSTR3410,
                                                       CKM_GOSTR3410_512,    CKM_GOST28147};
        const std::uint8_t choice = in_.byte();
        return choice < 0xF0 ? kTypes[choice % std::size(kTypes)] : in_.u32();
    }

    Mechanism mechanism() {
        Mechanism chosen;
        const std::uint8_t shape = in_.byte();
        chosen.null = shape % 8 == 7;
        chosen.mechanism.mechanism = mechanismType();
        switch (shape % 4) {
        case 1:
            chosen.parameter = {in_.bytes(8), false, 8}; // an initialisation vector
            break;
        case 2:
            chosen.parameter = input();
            break;
        default:
            chosen.parameter.null = true; // none
            break;
        }
        return chosen;
    }

    Template attributes() {
        static constexpr CK_ATTRIBUTE_TYPE kTypes[] = {CKA_CLASS,
                                                       CKA_KEY_TYPE,
                                                       CKA_LABEL,
                                                       CKA_ID,
                                                       CKA_VALUE,
                                                       CKA_PRIVATE,
                                                       CKA_TOKEN,
                                                       CKA_GOSTR3410_PARAMS,
                                                       CKA_GOSTR3411_PARAMS,
                                                       VENDOR_ATTR_JOURNAL,
                                                       VENDOR_ATTR_PIN,
                                                       CKA_VALUE_LEN};
        static constexpr CK_ULONG kValues[] = {CKO_PRIVATE_KEY, CKO_PUBLIC_KEY, CKO_SECRET_KEY,
                                               CKK_GOSTR3410,   CKK_GOST28147,  CKK_GOSTR3410_512};
        Template chosen;
        const std::uint8_t shape = in_.byte();
        chosen.null = shape % 8 == 7;
        const std::size_t count = shape / 8 % 5;
        chosen.values.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t type = in_.byte();
            const CK_ATTRIBUTE_TYPE attribute =
                type < 0xF0 ? kTypes[type % std::size(kTypes)] : in_.u32();
            if (in_.byte() % 4 == 0) {
                const CK_ULONG value = kValues[in_.byte() % std::size(kValues)];
                std::vector<unsigned char> bytes(sizeof value);
                std::memcpy(bytes.data(), &value, sizeof value);
                chosen.values.push_back({std::move(bytes), false, sizeof value});
            } else {
                chosen.values.push_back(input());
            }
            Buffer& value = chosen.values.back();
            chosen.attributes.push_back({attribute, value.data(), value.length});
        }
        return chosen;
    }

    template <typename Entry>
    void keyInit(Entry entry, const char* call) {
        const CK_SESSION_HANDLE where = session();
        Mechanism chosen = mechanism();
        const CK_OBJECT_HANDLE key = objectHandle();
        check(entry(where, chosen.get(), key), call);
    }

    // A single-part call: input in, output out.
    template <typename Entry>
    void single(Entry entry, const char* call) {
        const CK_SESSION_HANDLE where = session();
        Buffer data = input();
        Buffer out = output(1);
        check(entry(where, data.data(), data.length, out.data(), lengthOf(out)), call);
    }

    FuzzInput& in_;
    CK_FUNCTION_LIST& f_;
    ExtendedFunctionList& x_;
    std::vector<CK_SESSION_HANDLE> sessions_;
};

// A token of each model and an empty slot; the screen model takes a new PIN2.
emulator::State tokens() {
    emulator::State state = emulator::demoState();
    emulator::TokenState screen = *state.slots.at(0);
    screen.model = "Veltora Lumora 2";
    screen.nextPin2 = "24681357";
    state.slots.emplace_back(std::move(screen));
    state.slots.emplace_back(std::nullopt);
    return state;
}

struct Tokens {
    ScratchFolder folder{"fuzz-entry-points"};
    std::string path = folder.file("state.json");
    emulator::State state = tokens();

    Tokens() {
        setenv("QRD_EMULATOR_STATE", path.c_str(), 1);
        unsetenv("QRD_EMULATOR_FAULTS");
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Tokens token;
    // Each run starts from the same token, whatever the run before changed.
    emulator::saveState(token.path, token.state);
    CK_FUNCTION_LIST_PTR standard = nullptr;
    ExtendedFunctionList* extended = nullptr;
    if (qrdGetFunctionList(&standard) != CKR_OK ||
        qrdGetFunctionListExtended(&extended) != CKR_OK) {
        finding("the software token hands out no lists");
    }
    FuzzInput in(data, size);
    Caller caller(in, *standard, *extended);
    for (int call = 0; call < 64 && !in.exhausted(); ++call) {
        caller.call();
    }
    standard->C_Finalize(nullptr); // whether or not the calls left it initialised
    try {
        emulator::loadState(token.path);
    } catch (const emulator::StateFileError& error) {
        finding("the software token left a state file that does not load", error.what());
    }
    return 0;
}
