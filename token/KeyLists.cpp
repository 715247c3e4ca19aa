#include "token/Exception.h"
#include "token/Pkcs11Module.h"
#include "token/Token.h"

#include <exception>

namespace {

// Handles fetched per C_FindObjects call.
constexpr CK_ULONG FIND_BATCH_SIZE = 100;
// More objects than any token holds: a module that goes on finding past this never ends its
// search, and the list would grow until memory ran out.
constexpr std::size_t FIND_LIMIT = 100 * FIND_BATCH_SIZE;

} // namespace

std::vector<CK_OBJECT_HANDLE> Token::findObjects(CK_ATTRIBUTE_PTR attributes, CK_ULONG count) {
    Pkcs11Module& binding = module();
    binding.C_FindObjectsInit(sessionHandle_, attributes, count);
    std::vector<CK_OBJECT_HANDLE> handles;
    try {
        CK_OBJECT_HANDLE batch[FIND_BATCH_SIZE];
        // Only a call that finds nothing ends the search, even after a short batch.
        for (;;) {
            CK_ULONG found = 0;
            binding.C_FindObjects(sessionHandle_, batch, FIND_BATCH_SIZE, &found);
            if (found == 0) {
                break;
            }
            if (found > FIND_BATCH_SIZE || handles.size() + found > FIND_LIMIT) {
                // Handles past the buffer were never received; a search past the limit would
                // not end.
                throw ModuleAnswerException();
            }
            handles.insert(handles.end(), batch, batch + found);
        }
    } catch (...) {
        // A search once begun is ended whatever stopped it (a failed batch, a broken answer),
        // or it would stay active in the session and refuse every later search. The failure
        // that stopped it is the one the caller sees; how C_FindObjectsFinal went is in its log
        // line (or, if the log refused it, lost with the line).
        try {
            binding.C_FindObjectsFinal(sessionHandle_);
        } catch (const std::exception&) {
        }
        throw;
    }
    binding.C_FindObjectsFinal(sessionHandle_);
    return handles;
}

template <typename K>
void Token::appendKeys(KeyList<K>& keys, CK_OBJECT_CLASS objectClass, CK_KEY_TYPE keyType) {
    CK_ATTRIBUTE search[] = {
        {CKA_CLASS, &objectClass, sizeof objectClass},
        {CKA_KEY_TYPE, &keyType, sizeof keyType},
    };
    // The whole search runs before the first key reads its attributes.
    for (CK_OBJECT_HANDLE handle : findObjects(search, 2)) {
        keys.push_back(K(module(), sessionHandle_, handle));
    }
}

KeyList<SecretKey> Token::getSecretKeys() {
    KeyList<SecretKey> keys;
    appendKeys(keys, CKO_SECRET_KEY, CKK_GOST28147);
    return keys;
}

KeyList<PrivateKey> Token::getPrivateKeys() {
    KeyList<PrivateKey> keys;
    appendKeys(keys, CKO_PRIVATE_KEY, CKK_GOSTR3410);
    appendKeys(keys, CKO_PRIVATE_KEY, CKK_GOSTR3410_512);
    return keys;
}

KeyList<PublicKey> Token::getPublicKeys() {
    KeyList<PublicKey> keys;
    appendKeys(keys, CKO_PUBLIC_KEY, CKK_GOSTR3410);
    appendKeys(keys, CKO_PUBLIC_KEY, CKK_GOSTR3410_512);
    return keys;
}
