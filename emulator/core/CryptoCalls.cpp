// The single-part operations (and the multi-part digest that independent clients use), and
// the token's journal.
#include "emulator/core/Emulator.h"
#include "emulator/core/Journal.h"
#include "emulator/core/Mechanisms.h"

#include <algorithm>

namespace emulator {
namespace {

// One call of an active operation. `step` returns true when it has produced the output, which
// ends the operation; false when it only answered a size query. A short buffer leaves the
// operation active; every other failure ends it.
template <typename Operation, typename Step>
void runStep(std::optional<Operation>& operation, Step step) {
    require(operation.has_value(), CKR_OPERATION_NOT_INITIALIZED);
    try {
        if (step(*operation)) {
            operation.reset();
        }
    } catch (const CkError& error) {
        if (error.code() != CKR_BUFFER_TOO_SMALL) {
            operation.reset();
        }
        throw;
    } catch (...) {
        operation.reset();
        throw;
    }
}

gost::ByteView input(CK_BYTE_PTR data, CK_ULONG length) {
    require(data != nullptr || length == 0, CKR_ARGUMENTS_BAD);
    return {data, static_cast<std::size_t>(length)};
}

const CK_MECHANISM& mechanismOf(CK_MECHANISM_PTR mechanism) {
    require(mechanism != nullptr, CKR_ARGUMENTS_BAD);
    return *mechanism;
}

void requireNoParameter(const CK_MECHANISM& mechanism) {
    require(mechanism.ulParameterLen == 0, CKR_MECHANISM_PARAM_INVALID);
}

// The curve of a signature key for a mechanism that signs digests of `size` bytes.
const gost::Curve& curveFor(const KeyObject& key, CK_MECHANISM_TYPE type) {
    const KeyType keyType = type == CKM_GOSTR3410 ? KeyType::Gostr3410 : KeyType::Gostr3410_512;
    require(key.keyType == keyType, CKR_KEY_TYPE_INCONSISTENT);
    const gost::Curve* curve = gost::curveByOid(key.gostr3410Params);
    require(curve != nullptr, CKR_DOMAIN_PARAMS_INVALID);
    require(curve->size == signedDigestSize(type), CKR_KEY_TYPE_INCONSISTENT);
    return *curve;
}

} // namespace

void Emulator::digestInit(CK_SESSION_HANDLE handle, CK_MECHANISM_PTR mechanism) {
    Session& session = sessionOf(handle);
    const CK_MECHANISM& chosen = mechanismOf(mechanism);
    require(!session.digest.has_value(), CKR_OPERATION_ACTIVE);
    const auto hash = hashOf(chosen.mechanism);
    require(hash.has_value(), CKR_MECHANISM_INVALID);
    requireNoParameter(chosen);
    session.digest.emplace().hash = *hash;
}

void Emulator::digest(CK_SESSION_HANDLE handle, CK_BYTE_PTR data, CK_ULONG length, CK_BYTE_PTR out,
                      CK_ULONG_PTR outLength) {
    Session& session = sessionOf(handle);
    runStep(session.digest, [&](DigestOperation& operation) {
        require(!operation.multiPart, CKR_OPERATION_ACTIVE);
        const gost::ByteView data_ = input(data, length);
        if (!answerSize("C_Digest", out, outLength, gost::digestSize(operation.hash))) {
            return false;
        }
        const gost::Bytes result = gost::digest(operation.hash, data_);
        std::ranges::copy(result, out);
        return true;
    });
}

void Emulator::digestUpdate(CK_SESSION_HANDLE handle, CK_BYTE_PTR data, CK_ULONG length) {
    Session& session = sessionOf(handle);
    runStep(session.digest, [&](DigestOperation& operation) {
        const gost::ByteView part = input(data, length);
        operation.multiPart = true;
        operation.collected.insert(operation.collected.end(), part.begin(), part.end());
        return false;
    });
}

void Emulator::digestFinal(CK_SESSION_HANDLE handle, CK_BYTE_PTR out, CK_ULONG_PTR outLength) {
    Session& session = sessionOf(handle);
    runStep(session.digest, [&](DigestOperation& operation) {
        if (!answerSize("C_DigestFinal", out, outLength, gost::digestSize(operation.hash))) {
            return false;
        }
        const gost::Bytes result = gost::digest(operation.hash, operation.collected);
        std::ranges::copy(result, out);
        return true;
    });
}

void Emulator::signInit(CK_SESSION_HANDLE handle, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key,
                        bool invisible) {
    Session& session = sessionOf(handle);
    require(!invisible || tokenOf(session.slot).hasScreen(), CKR_FUNCTION_NOT_SUPPORTED);
    const CK_MECHANISM& chosen = mechanismOf(mechanism);
    require(!session.sign.has_value(), CKR_OPERATION_ACTIVE);
    require(signedDigestSize(chosen.mechanism) != 0, CKR_MECHANISM_INVALID);
    requireNoParameter(chosen);
    const KeyObject& signer = usableKey(session, key, ObjectClass::Private);
    const gost::Curve& curve = curveFor(signer, chosen.mechanism);
    SignOperation operation;
    operation.curve = &curve;
    operation.privateValue = SecretBytes(signer.value);
    operation.keyId = signer.id;
    operation.journal = signer.vendorJournal.value_or(0) != 0;
    operation.invisible = invisible;
    session.sign = std::move(operation);
}

void Emulator::sign(CK_SESSION_HANDLE handle, CK_BYTE_PTR data, CK_ULONG length, CK_BYTE_PTR out,
                    CK_ULONG_PTR outLength, bool invisible) {
    Session& session = sessionOf(handle);
    const TokenState& token = tokenOf(session.slot);
    require(!invisible || token.hasScreen(), CKR_FUNCTION_NOT_SUPPORTED);
    // The holder sees the digest on the screen model's display and may refuse.
    const bool refused = !invisible && token.hasScreen() && token.refuseSignatures;
    require(!session.sign.has_value() || session.sign->invisible == invisible,
            CKR_OPERATION_NOT_INITIALIZED);
    runStep(session.sign, [&](SignOperation& operation) {
        const gost::ByteView digest = input(data, length);
        require(digest.size() == operation.curve->size, CKR_DATA_LEN_RANGE);
        const char* name = invisible ? "C_EX_SignInvisible" : "C_Sign";
        if (!answerSize(name, out, outLength, 2 * operation.curve->size)) {
            return false;
        }
        require(!refused, CKR_FUNCTION_REJECTED);
        const gost::Bytes signature =
            gost::sign(*operation.curve, operation.privateValue.view(), digest);
        if (operation.journal) {
            // The record is on disk before the signature leaves the token; its counter follows
            // the last one saved by any process.
            const JournalKind kind =
                invisible ? JournalKind::InvisibleSignature : JournalKind::Signature;
            update(session.slot, [&](TokenState& fresh) -> CK_RV {
                ++fresh.journalCounter;
                fresh.journal.push_back({fresh.journalCounter, kind, operation.keyId,
                                         gost::Bytes(digest.begin(), digest.end())});
                return CKR_OK;
            });
        }
        std::ranges::copy(signature, out);
        return true;
    });
}

void Emulator::verifyInit(CK_SESSION_HANDLE handle, CK_MECHANISM_PTR mechanism,
                          CK_OBJECT_HANDLE key) {
    Session& session = sessionOf(handle);
    const CK_MECHANISM& chosen = mechanismOf(mechanism);
    require(!session.verify.has_value(), CKR_OPERATION_ACTIVE);
    require(signedDigestSize(chosen.mechanism) != 0, CKR_MECHANISM_INVALID);
    requireNoParameter(chosen);
    const KeyObject& verifier = usableKey(session, key, ObjectClass::Public);
    const gost::Curve& curve = curveFor(verifier, chosen.mechanism);
    VerifyOperation& operation = session.verify.emplace();
    operation.curve = &curve;
    operation.publicValue = verifier.value;
}

void Emulator::verify(CK_SESSION_HANDLE handle, CK_BYTE_PTR data, CK_ULONG length,
                      CK_BYTE_PTR signature, CK_ULONG signatureLength) {
    Session& session = sessionOf(handle);
    runStep(session.verify, [&](VerifyOperation& operation) {
        const gost::ByteView digest = input(data, length);
        const gost::ByteView given = input(signature, signatureLength);
        require(digest.size() == operation.curve->size, CKR_DATA_LEN_RANGE);
        require(given.size() == 2 * operation.curve->size, CKR_SIGNATURE_LEN_RANGE);
        require(gost::verify(*operation.curve, operation.publicValue, digest, given),
                CKR_SIGNATURE_INVALID);
        return true;
    });
}

void Emulator::cipherInit(bool encrypt, CK_SESSION_HANDLE handle, CK_MECHANISM_PTR mechanism,
                          CK_OBJECT_HANDLE key) {
    Session& session = sessionOf(handle);
    const CK_MECHANISM& chosen = mechanismOf(mechanism);
    auto& slot = encrypt ? session.encrypt : session.decrypt;
    require(!slot.has_value(), CKR_OPERATION_ACTIVE);
    require(chosen.mechanism == CKM_GOST28147, CKR_MECHANISM_INVALID);
    require(chosen.pParameter != nullptr && chosen.ulParameterLen == gost::kCipherIvSize,
            CKR_MECHANISM_PARAM_INVALID);
    const KeyObject& secret = usableKey(session, key, ObjectClass::Secret);
    require(secret.keyType == KeyType::Gost28147, CKR_KEY_TYPE_INCONSISTENT);
    require(secret.value.size() == gost::kCipherKeySize, CKR_KEY_SIZE_RANGE);
    const auto* iv = static_cast<const unsigned char*>(chosen.pParameter);
    CipherOperation& operation = slot.emplace();
    operation.key = SecretBytes(secret.value);
    operation.iv.assign(iv, iv + gost::kCipherIvSize);
    operation.sbox = secret.gost28147Params;
}

void Emulator::cipher(bool encrypt, CK_SESSION_HANDLE handle, CK_BYTE_PTR data, CK_ULONG length,
                      CK_BYTE_PTR out, CK_ULONG_PTR outLength) {
    Session& session = sessionOf(handle);
    runStep(encrypt ? session.encrypt : session.decrypt, [&](CipherOperation& operation) {
        const gost::ByteView in = input(data, length);
        // The output is as long as the input; it is written in place, without a copy.
        if (!answerSize(encrypt ? "C_Encrypt" : "C_Decrypt", out, outLength, in.size())) {
            return false;
        }
        gost::cfb(encrypt, operation.key.view(), operation.iv, operation.sbox, in.data(), out,
                  in.size());
        return true;
    });
}

void Emulator::getJournal(CK_SLOT_ID slot, CK_BYTE_PTR out, CK_ULONG_PTR outLength) {
    const TokenState& token = freshToken(slot);
    const Bytes bytes = encodeJournal(token.journal);
    if (answerSize("C_EX_GetJournal", out, outLength, bytes.size())) {
        std::ranges::copy(bytes, out);
    }
}

} // namespace emulator
