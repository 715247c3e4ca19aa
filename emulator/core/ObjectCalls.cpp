// Object search and attribute reading.
#include "emulator/core/Attributes.h"
#include "emulator/core/Emulator.h"

#include <algorithm>

namespace emulator {

CK_RV Emulator::getAttributeValue(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE object,
                                  CK_ATTRIBUTE_PTR request, CK_ULONG count) {
    const Session& session = sessionOf(handle);
    require(request != nullptr || count == 0, CKR_ARGUMENTS_BAD);
    const KeyObject* key = objectByHandle(freshToken(session.slot), object);
    // Before login a private object is answered as one that does not exist.
    require(key != nullptr && (!key->isPrivate || userLoggedIn(session.slot)),
            CKR_OBJECT_HANDLE_INVALID);
    std::vector<Attribute> attributes = attributesOf(*key);
    if (const Fault* cut = faults_.active("C_GetAttributeValue", "cutLabel")) {
        Bytes& label = std::ranges::find(attributes, CKA_LABEL, &Attribute::type)->value;
        label.resize(label.size() - std::min(label.size(), static_cast<std::size_t>(cut->by)));
    }
    const CK_RV result = readAttributes(attributes, request, count);
    if (faults_.active("C_GetAttributeValue", "unavailableLength") != nullptr) {
        // Success, yet no length: what a module may only answer with an error code.
        for (CK_ULONG i = 0; i < count; ++i) {
            if (request[i].pValue == nullptr) {
                request[i].ulValueLen = CK_UNAVAILABLE_INFORMATION;
            }
        }
    }
    return result;
}

void Emulator::findObjectsInit(CK_SESSION_HANDLE handle, CK_ATTRIBUTE_PTR pattern, CK_ULONG count) {
    Session& session = sessionOf(handle);
    require(pattern != nullptr || count == 0, CKR_ARGUMENTS_BAD);
    require(!session.find.has_value(), CKR_OPERATION_ACTIVE);
    const TokenState& token = freshToken(session.slot);
    const bool user = userLoggedIn(session.slot);
    FindOperation search;
    for (const KeyObject& key : token.objects) {
        // Private objects stay hidden until the user has logged in.
        if ((!key.isPrivate || user) && matches(attributesOf(key), pattern, count)) {
            search.handles.push_back(key.handle);
        }
    }
    session.find = std::move(search);
}

void Emulator::findObjects(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE_PTR objects, CK_ULONG maximum,
                           CK_ULONG_PTR found) {
    Session& session = sessionOf(handle);
    require(session.find.has_value(), CKR_OPERATION_NOT_INITIALIZED);
    require(found != nullptr && (objects != nullptr || maximum == 0), CKR_ARGUMENTS_BAD);
    FindOperation& search = *session.find;
    const std::size_t batch = std::min<std::size_t>(maximum, search.handles.size() - search.next);
    std::copy_n(search.handles.begin() + static_cast<std::ptrdiff_t>(search.next), batch, objects);
    search.next += batch;
    *found = static_cast<CK_ULONG>(batch);
}

void Emulator::findObjectsFinal(CK_SESSION_HANDLE handle) {
    Session& session = sessionOf(handle);
    require(session.find.has_value(), CKR_OPERATION_NOT_INITIALIZED);
    session.find.reset();
}

} // namespace emulator
