// The PKCS#11 attributes of a key object of the state file.
#pragma once

#include "emulator/core/StateFile.h"
#include "token/Cryptoki.h"

#include <vector>

namespace emulator {

struct Attribute {
    CK_ATTRIBUTE_TYPE type;
    Bytes value;            // in the platform's encoding (CK_ULONG, CK_BBOOL, raw bytes)
    bool sensitive = false; // exists but is never revealed (secret and private key values)
};

std::vector<Attribute> attributesOf(const KeyObject& key);

CK_OBJECT_CLASS classValue(ObjectClass objectClass);
CK_KEY_TYPE keyTypeValue(KeyType keyType);

// The object has every attribute of the template with exactly the template's value.
bool matches(const std::vector<Attribute>& attributes, const CK_ATTRIBUTE* pattern, CK_ULONG count);

// C_GetAttributeValue on one object: lengths for null values, copies where the room suffices,
// CK_UNAVAILABLE_INFORMATION and an error code elsewhere. Returns CKR_OK or the code to report.
CK_RV readAttributes(const std::vector<Attribute>& attributes, CK_ATTRIBUTE* request,
                     CK_ULONG count);

} // namespace emulator
