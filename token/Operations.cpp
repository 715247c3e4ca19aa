#include "token/Exception.h"
#include "token/Length.h"
#include "token/Mechanisms.h"
#include "token/Pkcs11Module.h"
#include "token/Token.h"

namespace {

// The module only reads its inputs; the standard's prototypes merely lack the const.
CK_BYTE_PTR input(const Bytes& data) {
    return data.empty() ? nullptr : const_cast<CK_BYTE_PTR>(data.data());
}

// The most the token's journal is taken to hold; its records are a few dozen bytes each.
constexpr std::size_t kLargestJournal = 16 * 1024 * 1024;

// The output of a single-part call: first its length with a null buffer, then the bytes.
// A module may answer the first call with an upper bound; the result keeps only what the
// second call reports. Reporting more than the buffer holds is a module fault: the bytes past
// the buffer were never received; so is an "unavailable" length, or one above `largest`, the
// most the call can produce, refused before allocating.
template <typename Call>
Bytes queryOutput(std::size_t largest, Call&& call) {
    CK_ULONG length = 0;
    call(nullptr, &length);
    Bytes output(token::reportedLength(length, largest));
    const CK_ULONG capacity = length;
    call(output.empty() ? nullptr : output.data(), &length);
    if (length > capacity) {
        throw ModuleAnswerException();
    }
    output.resize(length);
    return output;
}

CK_MECHANISM plain(CK_MECHANISM_TYPE type) {
    return {type, nullptr, 0};
}

} // namespace

Bytes Token::digest(const Bytes& data, CK_MECHANISM_TYPE digestMechanism) {
    const CK_ULONG dataLength = token::toLength(data.size());
    CK_MECHANISM mechanism = plain(digestMechanism);
    module().C_DigestInit(sessionHandle_, &mechanism);
    return queryOutput(
        token::digestSize(digestMechanism), [&](CK_BYTE_PTR out, CK_ULONG_PTR outLength) {
            module().C_Digest(sessionHandle_, input(data), dataLength, out, outLength);
        });
}

Bytes Token::signDigest(const PrivateKey& key, const Bytes& digest,
                        CK_MECHANISM_TYPE signMechanism) {
    const CK_ULONG digestLength = token::toLength(digest.size());
    CK_MECHANISM mechanism = plain(signMechanism);
    module().C_SignInit(sessionHandle_, &mechanism, key.getHandle());
    return queryOutput(
        token::signatureSize(signMechanism), [&](CK_BYTE_PTR out, CK_ULONG_PTR outLength) {
            module().C_Sign(sessionHandle_, input(digest), digestLength, out, outLength);
        });
}

Bytes Token::signDigestInvisible(const PrivateKey& key, const Bytes& digest,
                                 CK_MECHANISM_TYPE signMechanism) {
    const CK_ULONG digestLength = token::toLength(digest.size());
    CK_MECHANISM mechanism = plain(signMechanism);
    module().C_EX_SignInvisibleInit(sessionHandle_, &mechanism, key.getHandle());
    return queryOutput(token::signatureSize(signMechanism), [&](CK_BYTE_PTR out,
                                                                CK_ULONG_PTR outLength) {
        module().C_EX_SignInvisible(sessionHandle_, input(digest), digestLength, out, outLength);
    });
}

Bytes Token::sign(const PrivateKey& key, const Bytes& data, CK_MECHANISM_TYPE digestMechanism,
                  CK_MECHANISM_TYPE signMechanism) {
    const Bytes hash = digest(data, digestMechanism);
    return signDigest(key, hash, signMechanism);
}

Bytes Token::signInvisible(const PrivateKey& key, const Bytes& data,
                           CK_MECHANISM_TYPE digestMechanism, CK_MECHANISM_TYPE signMechanism) {
    const Bytes hash = digest(data, digestMechanism);
    return signDigestInvisible(key, hash, signMechanism);
}

bool Token::verifyDigest(const PublicKey& key, const Bytes& digest, const Bytes& signature,
                         CK_MECHANISM_TYPE signMechanism) {
    const CK_ULONG digestLength = token::toLength(digest.size());
    const CK_ULONG signatureLength = token::toLength(signature.size());
    CK_MECHANISM mechanism = plain(signMechanism);
    module().C_VerifyInit(sessionHandle_, &mechanism, key.getHandle());
    try {
        module().C_Verify(sessionHandle_, input(digest), digestLength, input(signature),
                          signatureLength);
    } catch (const Pkcs11Exception& e) {
        // An invalid signature is a verdict, not a failure; its line is already logged.
        if (e.code() == CKR_SIGNATURE_INVALID) {
            return false;
        }
        throw;
    }
    return true;
}

bool Token::verify(const PublicKey& key, const Bytes& data, const Bytes& signature,
                   CK_MECHANISM_TYPE digestMechanism, CK_MECHANISM_TYPE signMechanism) {
    const Bytes hash = digest(data, digestMechanism);
    return verifyDigest(key, hash, signature, signMechanism);
}

Bytes Token::encrypt(const SecretKey& key, const Bytes& data) {
    const CK_ULONG dataLength = token::toLength(data.size());
    std::array<unsigned char, 8> iv = token::encryptionIv();
    CK_MECHANISM mechanism = {CKM_GOST28147, iv.data(), iv.size()};
    module().C_EncryptInit(sessionHandle_, &mechanism, key.getHandle());
    // The cipher's output is as long as its input.
    return queryOutput(data.size(), [&](CK_BYTE_PTR out, CK_ULONG_PTR outLength) {
        module().C_Encrypt(sessionHandle_, input(data), dataLength, out, outLength);
    });
}

Bytes Token::decrypt(const SecretKey& key, const Bytes& data) {
    const CK_ULONG dataLength = token::toLength(data.size());
    std::array<unsigned char, 8> iv = token::encryptionIv();
    CK_MECHANISM mechanism = {CKM_GOST28147, iv.data(), iv.size()};
    module().C_DecryptInit(sessionHandle_, &mechanism, key.getHandle());
    return queryOutput(data.size(), [&](CK_BYTE_PTR out, CK_ULONG_PTR outLength) {
        module().C_Decrypt(sessionHandle_, input(data), dataLength, out, outLength);
    });
}

Bytes Token::getJournal() {
    return queryOutput(kLargestJournal, [&](CK_BYTE_PTR out, CK_ULONG_PTR outLength) {
        module().C_EX_GetJournal(slotId_, out, outLength);
    });
}
