// The software token's persistent state: the tokens of the emulated slots with their PINs,
// retry counters, journals and key objects, kept in one JSON file. Shared by the module and
// the qrd-token tool; nothing here knows about sessions or PKCS#11 calls.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace emulator {

using Bytes = std::vector<unsigned char>;

// The state file cannot be read, is not valid JSON, or does not describe tokens; or it cannot
// be written. The message names the file and the reason; it never holds a PIN.
class StateFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class ObjectClass { Secret, Private, Public };
enum class KeyType { Gost28147, Gostr3410, Gostr3410_512 };

struct KeyObject {
    std::uint32_t handle = 0; // unique in its token, never 0
    ObjectClass objectClass = ObjectClass::Secret;
    KeyType keyType = KeyType::Gost28147;
    Bytes label; // raw bytes: UTF-8 normally, anything in a test file
    Bytes id;
    bool isPrivate = true; // CKA_PRIVATE
    Bytes value;           // CKA_VALUE in PKCS#11 byte order
    Bytes gostr3410Params; // DER of the OIDs; empty when absent
    Bytes gostr3411Params;
    Bytes gost28147Params;
    // The maker's CK_BBOOL attributes; an empty one is an attribute the key lacks.
    std::optional<unsigned char> vendorPin;
    std::optional<unsigned char> vendorVisual;
    std::optional<unsigned char> vendorJournal;
};

enum class JournalKind : unsigned char { Signature = 1, InvisibleSignature = 2 };

struct JournalRecord {
    std::uint32_t counter = 0;
    JournalKind kind = JournalKind::Signature;
    Bytes keyId;
    Bytes digest;
};

struct TokenState {
    std::string model = "Veltora QRD"; // "Veltora Lumora 2" is the model with a screen
    Bytes label;
    std::string manufacturer = "Veltora";
    std::string serial; // hexadecimal digits
    unsigned firmwareMajor = 1;
    unsigned firmwareMinor = 2;
    std::string userPin;
    std::string soPin;
    int userPinRetriesLeft = 10; // 0: the user PIN is locked
    int userPinMaxRetries = 10;
    std::optional<std::string> pin2;     // screen model only
    std::optional<std::string> nextPin2; // what the holder enters on the screen next time
    bool refuseSignatures = false;       // the holder refuses visible signatures on the screen
    std::uint32_t checksum = 0;
    bool checksumInvalid = false;
    std::uint32_t journalCounter = 0;
    std::vector<JournalRecord> journal;
    std::vector<KeyObject> objects;

    bool hasScreen() const { return model == "Veltora Lumora 2"; }
    const KeyObject* findObject(std::uint32_t handle) const;
    // A handle one above the largest in use.
    std::uint32_t nextHandle() const;
};

struct State {
    std::vector<std::optional<TokenState>> slots;    // slot id = index + 1; empty: no token
    nlohmann::json faults = nlohmann::json::array(); // test faults, kept as written
};

// The JSON form and back. fromJson throws StateFileError for a document that is not a state.
nlohmann::json toJson(const State& state);
State fromJson(const nlohmann::json& document);

// Reads and parses a state file (UTF-8 path). Throws StateFileError.
State loadState(const std::string& path);

// Whether a file of that name exists (UTF-8 path).
bool stateFileExists(const std::string& path);

// Writes the state to a temporary file beside the target, flushes it and moves it over the
// target, so that a reader sees the old or the new file, never a mixture. Creates the folder
// when it is missing. Throws StateFileError; the old file is then untouched.
void saveState(const std::string& path, const State& state);

// One slot with the demo token: the model without a screen, user PIN 12345678, SO PIN
// 87654321, firmware 1.2, a key pair of each signature kind with varied flags and two secret
// keys. Key values are generated afresh.
State demoState();

// The state file the module uses: QRD_EMULATOR_STATE when set; otherwise the per-user default
// (Linux $XDG_DATA_HOME/qrd-emulator/state.json or ~/.local/share/qrd-emulator/state.json,
// Windows %LOCALAPPDATA%\qrd-emulator\state.json). `isDefault` tells which.
struct StatePath {
    std::string path;
    bool isDefault = false;
};
StatePath stateFilePath();

// Hexadecimal text of bytes (lower case) and back; fromHex throws StateFileError.
std::string toHex(const Bytes& bytes);
Bytes fromHex(const std::string& text);

} // namespace emulator
