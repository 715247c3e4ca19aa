#include "tests/gost/Backend.h"
#include "token/Cryptoki.h"

#include <cstdlib>
#include <dlfcn.h>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace crosscheck {

namespace {

constexpr CK_OBJECT_HANDLE kSecretKey = 1;
// Per kind k: the token's private key, its public key, and openssl's public key.
CK_OBJECT_HANDLE tokenPrivate(std::size_t kind) {
    return 10 + 3 * kind;
}
CK_OBJECT_HANDLE opensslPublic(std::size_t kind) {
    return 12 + 3 * kind;
}

const char* kUserPin = "12345678";

nlohmann::json keyObject(CK_OBJECT_HANDLE handle, const char* objectClass, const KeyKind& kind,
                         ByteView value, const std::string& label) {
    const bool wide = kind.curve->size == 64;
    nlohmann::json object = {
        {"handle", handle},
        {"class", objectClass},
        {"keyType", wide ? "gostr3410_512" : "gostr3410"},
        {"label", label},
        {"id", hex(ByteView(reinterpret_cast<const unsigned char*>(label.data()), label.size()))},
        {"private", std::string(objectClass) == "private"},
        {"value", hex(value)},
        {"gostr3410Params", hex(kind.curve->oidDer)},
        {"gostr3411Params", hex(gost::hashOid(kind.hash))},
        {"vendorPin", 0},
        {"vendorVisual", 0},
        {"vendorJournal", 0},
    };
    return object;
}

nlohmann::json stateOf(const KeySet& keys) {
    nlohmann::json objects = nlohmann::json::array();
    objects.push_back({{"handle", kSecretKey},
                       {"class", "secret"},
                       {"keyType", "gost28147"},
                       {"label", "cipher"},
                       {"id", "01"},
                       {"private", true},
                       {"value", hex(keys.cipherKey)},
                       {"gost28147Params", "06072a850302021f01"},
                       {"vendorPin", 0},
                       {"vendorVisual", 0},
                       {"vendorJournal", 0}});
    for (std::size_t i = 0; i < keyKinds().size(); ++i) {
        const KeyKind& kind = keyKinds()[i];
        const KeySet::PerKind& each = keys.kinds[i];
        const std::string name = kind.name;
        objects.push_back(
            keyObject(tokenPrivate(i), "private", kind, each.token.privateValue, name + " token"));
        objects.push_back(keyObject(tokenPrivate(i) + 1, "public", kind, each.token.publicValue,
                                    name + " token"));
        objects.push_back(keyObject(opensslPublic(i), "public", kind, each.opensslPublicValue,
                                    name + " openssl"));
    }
    nlohmann::json token = {
        {"model", "Veltora QRD"},
        {"label", "Cross-check"},
        {"manufacturer", "Veltora"},
        {"serial", "00C0FFEE"},
        {"firmware", {{"major", 1}, {"minor", 2}}},
        {"userPin", kUserPin},
        {"soPin", "87654321"},
        {"userPinRetriesLeft", 10},
        {"userPinMaxRetries", 10},
        {"refuseSignatures", false},
        {"checksum", 0},
        {"checksumInvalid", false},
        {"journal", {{"counter", 0}, {"records", nlohmann::json::array()}}},
        {"objects", objects},
    };
    return {{"slots", nlohmann::json::array({{{"token", token}}})},
            {"faults", nlohmann::json::array()}};
}

void check(CK_RV rv, const char* call) {
    if (rv != CKR_OK) {
        throw std::runtime_error(std::string(call) + " answered " + std::to_string(rv));
    }
}

CK_MECHANISM_TYPE digestMechanism(gost::Hash hash) {
    switch (hash) {
    case gost::Hash::R3411_94:
        return CKM_GOSTR3411;
    case gost::Hash::Streebog256:
        return CKM_GOSTR3411_12_256;
    case gost::Hash::Streebog512:
        break;
    }
    return CKM_GOSTR3411_12_512;
}

CK_MECHANISM_TYPE signatureMechanism(std::size_t kind) {
    return keyKinds()[kind].curve->size == 64 ? CKM_GOSTR3410_512 : CKM_GOSTR3410;
}

CK_BYTE_PTR in(ByteView bytes) {
    return const_cast<CK_BYTE_PTR>(bytes.data());
}

class ModuleBackend : public Backend {
public:
    ModuleBackend(const KeySet& keys, const ScratchFolder& folder) {
        try {
            open(keys, folder);
        } catch (...) {
            close();
            throw;
        }
    }

    ~ModuleBackend() override { close(); }

    ModuleBackend(const ModuleBackend&) = delete;
    ModuleBackend& operator=(const ModuleBackend&) = delete;

    Bytes digest(gost::Hash hash, ByteView data) override {
        CK_MECHANISM mechanism{digestMechanism(hash), nullptr, 0};
        check(list_->C_DigestInit(session_, &mechanism), "C_DigestInit");
        CK_ULONG length = 0;
        check(list_->C_Digest(session_, in(data), data.size(), nullptr, &length), "C_Digest");
        Bytes out(length);
        check(list_->C_Digest(session_, in(data), data.size(), out.data(), &length), "C_Digest");
        out.resize(length);
        return out;
    }

    Bytes sign(std::size_t kind, ByteView digest) override {
        CK_MECHANISM mechanism{signatureMechanism(kind), nullptr, 0};
        check(list_->C_SignInit(session_, &mechanism, tokenPrivate(kind)), "C_SignInit");
        Bytes out(2 * keyKinds()[kind].curve->size);
        CK_ULONG length = out.size();
        check(list_->C_Sign(session_, in(digest), digest.size(), out.data(), &length), "C_Sign");
        out.resize(length);
        return out;
    }

    bool verifyOpenSslKey(std::size_t kind, ByteView digest, ByteView signature) override {
        CK_MECHANISM mechanism{signatureMechanism(kind), nullptr, 0};
        check(list_->C_VerifyInit(session_, &mechanism, opensslPublic(kind)), "C_VerifyInit");
        const CK_RV rv =
            list_->C_Verify(session_, in(digest), digest.size(), in(signature), signature.size());
        if (rv == CKR_SIGNATURE_INVALID) {
            return false;
        }
        check(rv, "C_Verify");
        return true;
    }

    Bytes cipher(bool encrypt, ByteView iv, ByteView data) override {
        CK_MECHANISM mechanism{CKM_GOST28147, in(iv), iv.size()};
        Bytes out(data.size());
        CK_ULONG length = out.size();
        if (encrypt) {
            check(list_->C_EncryptInit(session_, &mechanism, kSecretKey), "C_EncryptInit");
            check(list_->C_Encrypt(session_, in(data), data.size(), out.data(), &length),
                  "C_Encrypt");
        } else {
            check(list_->C_DecryptInit(session_, &mechanism, kSecretKey), "C_DecryptInit");
            check(list_->C_Decrypt(session_, in(data), data.size(), out.data(), &length),
                  "C_Decrypt");
        }
        out.resize(length);
        return out;
    }

private:
    void open(const KeySet& keys, const ScratchFolder& folder) {
        const std::string state = folder.file("state.json");
        writeText(state, stateOf(keys).dump(2));
        setenv("QRD_EMULATOR_STATE", state.c_str(), 1);
        unsetenv("QRD_EMULATOR_FAULTS");
        library_ = dlopen("libvlPKCS11QRD.so", RTLD_NOW | RTLD_LOCAL);
        if (library_ == nullptr) {
            throw std::runtime_error(std::string("cannot load the module: ") + dlerror());
        }
        auto getFunctionList =
            reinterpret_cast<CK_C_GetFunctionList>(dlsym(library_, "C_GetFunctionList"));
        if (getFunctionList == nullptr) {
            throw std::runtime_error("the module exports no C_GetFunctionList");
        }
        check(getFunctionList(&list_), "C_GetFunctionList");
        check(list_->C_Initialize(nullptr), "C_Initialize");
        initialised_ = true;
        check(list_->C_OpenSession(1, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr,
                                   &session_),
              "C_OpenSession");
        check(list_->C_Login(session_, CKU_USER,
                             reinterpret_cast<CK_UTF8CHAR_PTR>(const_cast<char*>(kUserPin)), 8),
              "C_Login");
    }

    // Best effort: when closing fails, a check has failed already.
    void close() noexcept {
        if (initialised_) {
            list_->C_CloseAllSessions(1);
            list_->C_Finalize(nullptr);
            initialised_ = false;
        }
        if (library_ != nullptr) {
            dlclose(library_);
            library_ = nullptr;
        }
    }

    bool initialised_ = false;
    void* library_ = nullptr;
    CK_FUNCTION_LIST_PTR list_ = nullptr;
    CK_SESSION_HANDLE session_ = 0;
};

} // namespace

std::unique_ptr<Backend> makeModuleBackend(const KeySet& keys, const ScratchFolder& folder) {
    return std::make_unique<ModuleBackend>(keys, folder);
}

} // namespace crosscheck
