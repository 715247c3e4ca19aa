#include "emulator/core/Attributes.h"

#include <algorithm>
#include <cstring>

namespace emulator {
namespace {

Bytes ulongValue(CK_ULONG value) {
    Bytes bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

Bytes boolValue(bool value) {
    return {static_cast<unsigned char>(value ? CK_TRUE : CK_FALSE)};
}

} // namespace

CK_OBJECT_CLASS classValue(ObjectClass objectClass) {
    switch (objectClass) {
    case ObjectClass::Secret:
        return CKO_SECRET_KEY;
    case ObjectClass::Private:
        return CKO_PRIVATE_KEY;
    case ObjectClass::Public:
        return CKO_PUBLIC_KEY;
    }
    return CKO_SECRET_KEY;
}

CK_KEY_TYPE keyTypeValue(KeyType keyType) {
    switch (keyType) {
    case KeyType::Gost28147:
        return CKK_GOST28147;
    case KeyType::Gostr3410:
        return CKK_GOSTR3410;
    case KeyType::Gostr3410_512:
        return CKK_GOSTR3410_512;
    }
    return CKK_GOST28147;
}

std::vector<Attribute> attributesOf(const KeyObject& key) {
    const bool isPublic = key.objectClass == ObjectClass::Public;
    const bool isPrivate = key.objectClass == ObjectClass::Private;
    const bool isSecret = key.objectClass == ObjectClass::Secret;
    std::vector<Attribute> attributes = {
        {CKA_CLASS, ulongValue(classValue(key.objectClass))},
        {CKA_TOKEN, boolValue(true)},
        {CKA_PRIVATE, boolValue(key.isPrivate)},
        {CKA_MODIFIABLE, boolValue(false)},
        {CKA_LABEL, key.label},
        {CKA_ID, key.id},
        {CKA_KEY_TYPE, ulongValue(keyTypeValue(key.keyType))},
        {CKA_LOCAL, boolValue(true)},
        {CKA_VALUE, key.value, !isPublic},
        {CKA_ENCRYPT, boolValue(isSecret)},
        {CKA_DECRYPT, boolValue(isSecret)},
        {CKA_SIGN, boolValue(isPrivate)},
        {CKA_VERIFY, boolValue(isPublic)},
        {CKA_SIGN_RECOVER, boolValue(false)},
        {CKA_VERIFY_RECOVER, boolValue(false)},
        {CKA_WRAP, boolValue(false)},
        {CKA_UNWRAP, boolValue(false)},
        {CKA_DERIVE, boolValue(false)},
    };
    if (!isPublic) {
        attributes.push_back({CKA_SENSITIVE, boolValue(true)});
        attributes.push_back({CKA_ALWAYS_SENSITIVE, boolValue(true)});
        attributes.push_back({CKA_EXTRACTABLE, boolValue(false)});
        attributes.push_back({CKA_NEVER_EXTRACTABLE, boolValue(true)});
        attributes.push_back({CKA_ALWAYS_AUTHENTICATE, boolValue(false)});
    }
    if (isSecret) {
        attributes.push_back({CKA_VALUE_LEN, ulongValue(key.value.size())});
    }
    if (!key.gostr3410Params.empty()) {
        attributes.push_back({CKA_GOSTR3410_PARAMS, key.gostr3410Params});
    }
    if (!key.gostr3411Params.empty()) {
        attributes.push_back({CKA_GOSTR3411_PARAMS, key.gostr3411Params});
    }
    if (!key.gost28147Params.empty()) {
        attributes.push_back({CKA_GOST28147_PARAMS, key.gost28147Params});
    }
    if (key.vendorPin) {
        attributes.push_back({VENDOR_ATTR_PIN, {*key.vendorPin}});
    }
    if (key.vendorVisual) {
        attributes.push_back({VENDOR_ATTR_VISUAL, {*key.vendorVisual}});
    }
    if (key.vendorJournal) {
        attributes.push_back({VENDOR_ATTR_JOURNAL, {*key.vendorJournal}});
    }
    return attributes;
}

bool matches(const std::vector<Attribute>& attributes, const CK_ATTRIBUTE* pattern,
             CK_ULONG count) {
    for (CK_ULONG i = 0; i < count; ++i) {
        const CK_ATTRIBUTE& wanted = pattern[i];
        const auto found = std::ranges::find(attributes, wanted.type, &Attribute::type);
        if (found == attributes.end() || found->sensitive ||
            found->value.size() != wanted.ulValueLen) {
            return false;
        }
        if (wanted.ulValueLen > 0 &&
            (wanted.pValue == nullptr ||
             std::memcmp(found->value.data(), wanted.pValue, wanted.ulValueLen) != 0)) {
            return false;
        }
    }
    return true;
}

CK_RV readAttributes(const std::vector<Attribute>& attributes, CK_ATTRIBUTE* request,
                     CK_ULONG count) {
    CK_RV result = CKR_OK;
    for (CK_ULONG i = 0; i < count; ++i) {
        CK_ATTRIBUTE& entry = request[i];
        const auto found = std::ranges::find(attributes, entry.type, &Attribute::type);
        if (found == attributes.end()) {
            entry.ulValueLen = CK_UNAVAILABLE_INFORMATION;
            result = CKR_ATTRIBUTE_TYPE_INVALID;
        } else if (found->sensitive) {
            entry.ulValueLen = CK_UNAVAILABLE_INFORMATION;
            result = CKR_ATTRIBUTE_SENSITIVE;
        } else if (entry.pValue == nullptr) {
            entry.ulValueLen = found->value.size();
        } else if (entry.ulValueLen < found->value.size()) {
            entry.ulValueLen = CK_UNAVAILABLE_INFORMATION;
            result = CKR_BUFFER_TOO_SMALL;
        } else {
            if (!found->value.empty()) {
                std::memcpy(entry.pValue, found->value.data(), found->value.size());
            }
            entry.ulValueLen = found->value.size();
        }
    }
    return result;
}

} // namespace emulator
