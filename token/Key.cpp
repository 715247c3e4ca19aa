#include "token/Key.h"

#include "token/Exception.h"
#include "token/Length.h"
#include "token/Pkcs11Module.h"

#include <algorithm>
#include <array>

namespace {

// DER encodings of the GOST R 34.11-2012 hash parameter sets.
constexpr std::array<unsigned char, 10> kHash2012_256 = {0x06, 0x08, 0x2A, 0x85, 0x03,
                                                         0x07, 0x01, 0x01, 0x02, 0x02};
constexpr std::array<unsigned char, 10> kHash2012_512 = {0x06, 0x08, 0x2A, 0x85, 0x03,
                                                         0x07, 0x01, 0x01, 0x02, 0x03};

// The most an attribute value the workstation reads (a label, an identifier, a parameter set)
// is taken to hold; a longer length from a size query is a broken answer.
constexpr std::size_t kLargestAttributeValue = 64 * 1024;

bool equals(const Bytes& value, const std::array<unsigned char, 10>& encoding) {
    return std::equal(value.begin(), value.end(), encoding.begin(), encoding.end());
}

// The length of the value the module filled in. The size query may have answered with an upper
// bound, so a shorter value is cut to what was reported; a longer one is a broken answer, since
// the bytes past the buffer never arrived.
std::size_t filledLength(const CK_ATTRIBUTE& attribute, std::size_t capacity) {
    if (attribute.ulValueLen > capacity) {
        throw ModuleAnswerException();
    }
    return attribute.ulValueLen;
}

} // namespace

Key::Key(Pkcs11Module& module, CK_SESSION_HANDLE session, CK_OBJECT_HANDLE handle)
    : module_(&module), handle_(handle) {
    CK_ATTRIBUTE attributes[] = {
        {CKA_LABEL, nullptr, 0},
        {CKA_ID, nullptr, 0},
    };
    module.C_GetAttributeValue(session, handle, attributes, 2);
    label_.assign(token::reportedLength(attributes[0].ulValueLen, kLargestAttributeValue), '\0');
    id_.assign(token::reportedLength(attributes[1].ulValueLen, kLargestAttributeValue), 0);
    attributes[0].pValue = label_.empty() ? nullptr : label_.data();
    attributes[1].pValue = id_.empty() ? nullptr : id_.data();
    module.C_GetAttributeValue(session, handle, attributes, 2);
    label_.resize(filledLength(attributes[0], label_.size()));
    id_.resize(filledLength(attributes[1], id_.size()));
}

AsymmetricKey::AsymmetricKey(Pkcs11Module& module, CK_SESSION_HANDLE session,
                             CK_OBJECT_HANDLE handle)
    : Key(module, session, handle) {
    CK_BBOOL journal = 0;
    CK_ATTRIBUTE attributes[] = {
        {CKA_GOSTR3411_PARAMS, nullptr, 0},
        {VENDOR_ATTR_JOURNAL, &journal, sizeof journal},
    };
    module.C_GetAttributeValue(session, handle, attributes, 2);
    filledLength(attributes[1], sizeof journal); // a flag that claims more than its byte is refused
    journalFlag_ = journal != 0;

    Bytes parameters(token::reportedLength(attributes[0].ulValueLen, kLargestAttributeValue));
    attributes[0].pValue = parameters.empty() ? nullptr : parameters.data();
    module.C_GetAttributeValue(session, handle, attributes, 1);
    parameters.resize(filledLength(attributes[0], parameters.size()));
    if (equals(parameters, kHash2012_256)) {
        algorithm_ = GOST_2012_256;
    } else if (equals(parameters, kHash2012_512)) {
        algorithm_ = GOST_2012_512;
        bits_ = 512;
    }
}

PrivateKey::PrivateKey(Pkcs11Module& module, CK_SESSION_HANDLE session, CK_OBJECT_HANDLE handle)
    : AsymmetricKey(module, session, handle) {
    CK_BBOOL visual = 0;
    CK_BBOOL pin = 0;
    CK_ATTRIBUTE attributes[] = {
        {VENDOR_ATTR_VISUAL, &visual, sizeof visual},
        {VENDOR_ATTR_PIN, &pin, sizeof pin},
    };
    module.C_GetAttributeValue(session, handle, attributes, 2);
    filledLength(attributes[0], sizeof visual);
    filledLength(attributes[1], sizeof pin);
    visualFlag_ = visual == 1;
    pinFlag_ = pin == 1;
}
