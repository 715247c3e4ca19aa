#include "emulator/core/StateFile.h"

#include <algorithm>
#include <limits>
#include <utf8.h>

namespace emulator {
namespace {

using nlohmann::json;

[[noreturn]] void invalid(const std::string& what) {
    throw StateFileError("the state file is not valid: " + what);
}

const json* member(const json& object, const char* name) {
    const auto found = object.find(name);
    return found == object.end() || found->is_null() ? nullptr : &*found;
}

std::string text(const json& object, const char* name, std::string fallback = {}) {
    const json* value = member(object, name);
    if (value == nullptr) {
        return fallback;
    }
    if (!value->is_string()) {
        invalid(std::string("\"") + name + "\" must be a string");
    }
    return value->get<std::string>();
}

std::optional<std::string> optionalText(const json& object, const char* name) {
    if (member(object, name) == nullptr) {
        return std::nullopt;
    }
    return text(object, name);
}

template <typename Integer>
Integer number(const json& object, const char* name, Integer fallback) {
    const json* value = member(object, name);
    if (value == nullptr) {
        return fallback;
    }
    if (!value->is_number_integer()) {
        invalid(std::string("\"") + name + "\" must be an integer");
    }
    const auto wide = value->get<long long>();
    if (wide < static_cast<long long>(std::numeric_limits<Integer>::min()) ||
        static_cast<unsigned long long>(wide) >
            static_cast<unsigned long long>(std::numeric_limits<Integer>::max())) {
        invalid(std::string("\"") + name + "\" is out of range");
    }
    return static_cast<Integer>(wide);
}

bool flag(const json& object, const char* name) {
    const json* value = member(object, name);
    if (value == nullptr) {
        return false;
    }
    if (!value->is_boolean()) {
        invalid(std::string("\"") + name + "\" must be true or false");
    }
    return value->get<bool>();
}

Bytes hexMember(const json& object, const char* name) {
    try {
        return fromHex(text(object, name));
    } catch (const StateFileError&) {
        // The text itself is not repeated: it may be a key value.
        invalid(std::string("\"") + name + "\" is not hexadecimal");
    }
}

// A label is text, or raw bytes under "labelHex" (for labels that are not UTF-8).
Bytes labelOf(const json& object) {
    if (member(object, "labelHex") != nullptr) {
        return hexMember(object, "labelHex");
    }
    const std::string label = text(object, "label");
    return Bytes(label.begin(), label.end());
}

void putLabel(json& object, const Bytes& label) {
    if (utf8::is_valid(label.begin(), label.end())) {
        object["label"] = std::string(label.begin(), label.end());
    } else {
        object["labelHex"] = toHex(label);
    }
}

std::optional<unsigned char> vendorFlag(const json& object, const char* name) {
    if (member(object, name) == nullptr) {
        return std::nullopt;
    }
    return number<unsigned char>(object, name, 0);
}

ObjectClass classOf(const std::string& name) {
    if (name == "secret") {
        return ObjectClass::Secret;
    }
    if (name == "private") {
        return ObjectClass::Private;
    }
    if (name == "public") {
        return ObjectClass::Public;
    }
    invalid("unknown object class \"" + name + "\"");
}

const char* nameOf(ObjectClass objectClass) {
    switch (objectClass) {
    case ObjectClass::Secret:
        return "secret";
    case ObjectClass::Private:
        return "private";
    case ObjectClass::Public:
        return "public";
    }
    return "secret";
}

KeyType keyTypeOf(const std::string& name) {
    if (name == "gost28147") {
        return KeyType::Gost28147;
    }
    if (name == "gostr3410") {
        return KeyType::Gostr3410;
    }
    if (name == "gostr3410_512") {
        return KeyType::Gostr3410_512;
    }
    invalid("unknown key type \"" + name + "\"");
}

const char* nameOf(KeyType keyType) {
    switch (keyType) {
    case KeyType::Gost28147:
        return "gost28147";
    case KeyType::Gostr3410:
        return "gostr3410";
    case KeyType::Gostr3410_512:
        return "gostr3410_512";
    }
    return "gost28147";
}

KeyObject objectFromJson(const json& object) {
    if (!object.is_object()) {
        invalid("an object entry is not a JSON object");
    }
    KeyObject key;
    key.handle = number<std::uint32_t>(object, "handle", 0);
    if (key.handle == 0) {
        invalid("an object lacks a non-zero \"handle\"");
    }
    key.objectClass = classOf(text(object, "class"));
    key.keyType = keyTypeOf(text(object, "keyType"));
    if ((key.objectClass == ObjectClass::Secret) != (key.keyType == KeyType::Gost28147)) {
        invalid("object " + std::to_string(key.handle) + " has a class that its key type lacks");
    }
    key.label = labelOf(object);
    key.id = hexMember(object, "id");
    key.isPrivate = member(object, "private") == nullptr ? key.objectClass != ObjectClass::Public
                                                         : flag(object, "private");
    key.value = hexMember(object, "value");
    key.gostr3410Params = hexMember(object, "gostr3410Params");
    key.gostr3411Params = hexMember(object, "gostr3411Params");
    key.gost28147Params = hexMember(object, "gost28147Params");
    key.vendorPin = vendorFlag(object, "vendorPin");
    key.vendorVisual = vendorFlag(object, "vendorVisual");
    key.vendorJournal = vendorFlag(object, "vendorJournal");
    return key;
}

json objectToJson(const KeyObject& key) {
    json object = {{"handle", key.handle},
                   {"class", nameOf(key.objectClass)},
                   {"keyType", nameOf(key.keyType)}};
    putLabel(object, key.label);
    object["id"] = toHex(key.id);
    object["private"] = key.isPrivate;
    object["value"] = toHex(key.value);
    if (!key.gostr3410Params.empty()) {
        object["gostr3410Params"] = toHex(key.gostr3410Params);
    }
    if (!key.gostr3411Params.empty()) {
        object["gostr3411Params"] = toHex(key.gostr3411Params);
    }
    if (!key.gost28147Params.empty()) {
        object["gost28147Params"] = toHex(key.gost28147Params);
    }
    if (key.vendorPin) {
        object["vendorPin"] = *key.vendorPin;
    }
    if (key.vendorVisual) {
        object["vendorVisual"] = *key.vendorVisual;
    }
    if (key.vendorJournal) {
        object["vendorJournal"] = *key.vendorJournal;
    }
    return object;
}

JournalRecord recordFromJson(const json& object) {
    if (!object.is_object()) {
        invalid("a journal record is not a JSON object");
    }
    JournalRecord record;
    record.counter = number<std::uint32_t>(object, "counter", 0);
    const auto kind = number<unsigned char>(object, "kind", 1);
    if (kind != 1 && kind != 2) {
        invalid("a journal record has an unknown kind");
    }
    record.kind = static_cast<JournalKind>(kind);
    record.keyId = hexMember(object, "keyId");
    record.digest = hexMember(object, "digest");
    return record;
}

TokenState tokenFromJson(const json& object) {
    if (!object.is_object()) {
        invalid("a token is not a JSON object");
    }
    TokenState token;
    token.model = text(object, "model", token.model);
    token.label = labelOf(object);
    token.manufacturer = text(object, "manufacturer", token.manufacturer);
    token.serial = text(object, "serial");
    if (const json* firmware = member(object, "firmware")) {
        if (!firmware->is_object()) {
            invalid("\"firmware\" must be an object");
        }
        token.firmwareMajor = number<unsigned char>(*firmware, "major", 1);
        token.firmwareMinor = number<unsigned char>(*firmware, "minor", 2);
    }
    token.userPin = text(object, "userPin");
    token.soPin = text(object, "soPin");
    token.userPinMaxRetries = number<int>(object, "userPinMaxRetries", 10);
    token.userPinRetriesLeft = number<int>(object, "userPinRetriesLeft", token.userPinMaxRetries);
    if (token.userPinMaxRetries < 1 || token.userPinRetriesLeft < 0 ||
        token.userPinRetriesLeft > token.userPinMaxRetries) {
        invalid("the PIN retry counter is out of range");
    }
    token.pin2 = optionalText(object, "pin2");
    token.nextPin2 = optionalText(object, "nextPin2");
    token.refuseSignatures = flag(object, "refuseSignatures");
    token.checksum = number<std::uint32_t>(object, "checksum", 0);
    token.checksumInvalid = flag(object, "checksumInvalid");
    if (const json* journal = member(object, "journal")) {
        if (!journal->is_object()) {
            invalid("\"journal\" must be an object");
        }
        token.journalCounter = number<std::uint32_t>(*journal, "counter", 0);
        if (const json* records = member(*journal, "records")) {
            if (!records->is_array()) {
                invalid("the journal's \"records\" must be an array");
            }
            for (const json& record : *records) {
                token.journal.push_back(recordFromJson(record));
            }
        }
    }
    if (const json* objects = member(object, "objects")) {
        if (!objects->is_array()) {
            invalid("\"objects\" must be an array");
        }
        for (const json& entry : *objects) {
            KeyObject key = objectFromJson(entry);
            if (token.findObject(key.handle) != nullptr) {
                invalid("two objects share handle " + std::to_string(key.handle));
            }
            token.objects.push_back(std::move(key));
        }
    }
    return token;
}

json tokenToJson(const TokenState& token) {
    json object = {{"model", token.model}};
    putLabel(object, token.label);
    object["manufacturer"] = token.manufacturer;
    object["serial"] = token.serial;
    object["firmware"] = {{"major", token.firmwareMajor}, {"minor", token.firmwareMinor}};
    object["userPin"] = token.userPin;
    object["soPin"] = token.soPin;
    object["userPinRetriesLeft"] = token.userPinRetriesLeft;
    object["userPinMaxRetries"] = token.userPinMaxRetries;
    if (token.pin2) {
        object["pin2"] = *token.pin2;
    }
    if (token.nextPin2) {
        object["nextPin2"] = *token.nextPin2;
    }
    object["refuseSignatures"] = token.refuseSignatures;
    object["checksum"] = token.checksum;
    object["checksumInvalid"] = token.checksumInvalid;
    json records = json::array();
    for (const JournalRecord& record : token.journal) {
        records.push_back({{"counter", record.counter},
                           {"kind", static_cast<int>(record.kind)},
                           {"keyId", toHex(record.keyId)},
                           {"digest", toHex(record.digest)}});
    }
    object["journal"] = {{"counter", token.journalCounter}, {"records", std::move(records)}};
    json objects = json::array();
    for (const KeyObject& key : token.objects) {
        objects.push_back(objectToJson(key));
    }
    object["objects"] = std::move(objects);
    return object;
}

// How deep the "faults" array may nest: an array of objects of plain values needs 2.
constexpr int kDeepestFaults = 16;

// Whether the value holds arrays or objects more than `depth` levels deep; looks no deeper.
bool nestedDeeperThan(const json& value, int depth) {
    if (!value.is_structured()) {
        return false;
    }
    if (depth == 0) {
        return true;
    }
    for (const json& inner : value) {
        if (nestedDeeperThan(inner, depth - 1)) {
            return true;
        }
    }
    return false;
}

} // namespace

const KeyObject* TokenState::findObject(std::uint32_t handle) const {
    const auto found = std::ranges::find(objects, handle, &KeyObject::handle);
    return found == objects.end() ? nullptr : &*found;
}

std::uint32_t TokenState::nextHandle() const {
    std::uint32_t largest = 0;
    for (const KeyObject& key : objects) {
        largest = std::max(largest, key.handle);
    }
    if (largest < std::numeric_limits<std::uint32_t>::max()) {
        return largest + 1;
    }
    // One above the largest would wrap to 0, which is no handle: the lowest free one instead.
    std::vector<std::uint32_t> used;
    used.reserve(objects.size());
    for (const KeyObject& key : objects) {
        used.push_back(key.handle);
    }
    std::ranges::sort(used);
    std::uint32_t candidate = 1;
    for (const std::uint32_t handle : used) {
        if (handle > candidate) {
            break;
        }
        if (handle == candidate) {
            ++candidate;
        }
    }
    return candidate;
}

nlohmann::json toJson(const State& state) {
    json slots = json::array();
    for (const auto& token : state.slots) {
        slots.push_back({{"token", token ? tokenToJson(*token) : json(nullptr)}});
    }
    return {{"slots", std::move(slots)}, {"faults", state.faults}};
}

State fromJson(const nlohmann::json& document) {
    if (!document.is_object()) {
        invalid("the document is not a JSON object");
    }
    const json* slots = member(document, "slots");
    if (slots == nullptr || !slots->is_array()) {
        invalid("\"slots\" must be an array");
    }
    State state;
    for (const json& slot : *slots) {
        if (!slot.is_object()) {
            invalid("a slot is not a JSON object");
        }
        const json* token = member(slot, "token");
        state.slots.push_back(token == nullptr ? std::nullopt
                                               : std::optional<TokenState>(tokenFromJson(*token)));
    }
    if (const json* faults = member(document, "faults")) {
        if (!faults->is_array()) {
            invalid("\"faults\" must be an array");
        }
        // Kept as written, and copied and written out again by recursion: a depth that no fault
        // needs is refused before it could exhaust the stack.
        if (nestedDeeperThan(*faults, kDeepestFaults)) {
            invalid("\"faults\" is nested too deeply");
        }
        state.faults = *faults;
    }
    return state;
}

std::string toHex(const Bytes& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const unsigned char byte : bytes) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}

Bytes fromHex(const std::string& text) {
    const auto digit = [&](char c) -> unsigned {
        if (c >= '0' && c <= '9') {
            return static_cast<unsigned>(c - '0');
        }
        if (c >= 'a' && c <= 'f') {
            return static_cast<unsigned>(c - 'a' + 10);
        }
        if (c >= 'A' && c <= 'F') {
            return static_cast<unsigned>(c - 'A' + 10);
        }
        invalid("a character is not a hexadecimal digit");
    };
    if (text.size() % 2 != 0) {
        invalid("an odd number of hexadecimal digits");
    }
    Bytes bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        bytes.push_back(static_cast<unsigned char>(digit(text[i]) << 4 | digit(text[i + 1])));
    }
    return bytes;
}

} // namespace emulator
