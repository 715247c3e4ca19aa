// The software token's persistent state: the tokens of the emulated slots with their PINs,
// retry counters, journals and key objects, kept in one JSON file. Shared by the module and
// the qrd-token tool; nothing here knows about sessions or PKCS#11 calls.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
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

    bool operator==(const KeyObject&) const = default;
};

enum class JournalKind : unsigned char { Signature = 1, InvisibleSignature = 2 };

struct JournalRecord {
    std::uint32_t counter = 0;
    JournalKind kind = JournalKind::Signature;
    Bytes keyId;
    Bytes digest;

    bool operator==(const JournalRecord&) const = default;
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

    bool operator==(const TokenState&) const = default;
    bool hasScreen() const { return model == "Veltora Lumora 2"; }
    const KeyObject* findObject(std::uint32_t handle) const;
    // A handle one above the largest in use, or the lowest free one when the largest in use
    // is 4294967295; never 0.
    std::uint32_t nextHandle() const;
};

struct State {
    std::vector<std::optional<TokenState>> slots;    // slot id = index + 1; empty: no token
    nlohmann::json faults = nlohmann::json::array(); // test faults, kept as written
};

// The JSON form and back. fromJson throws StateFileError for a document that is not a state.
nlohmann::json toJson(const State& state);
State fromJson(const nlohmann::json& document);

namespace platform {
class FileLock;
}

// Every process that reads or changes a state file (the module in any program, qrd-token) does
// so under an exclusive lock, on a file beside it named as the state file with ".lock" added;
// it is replaced through a temporary file with ".tmp" added. Paths are UTF-8.

// Reads and parses a state file under its lock. Throws StateFileError; a missing file is one
// (and then nothing is created beside it).
State loadState(const std::string& path);

// Whether a file of that name exists.
bool stateFileExists(const std::string& path);

// Writes the state under the file's lock, creating the folder when it is missing; see
// LockedStateFile::save.
void saveState(const std::string& path, const State& state);

// The state file held under its lock from construction (which waits while another process holds
// it) to destruction: a read-change-write inside one of these loses no change made meanwhile by
// another process. Throws StateFileError.
class LockedStateFile {
public:
    explicit LockedStateFile(std::string path);
    ~LockedStateFile();
    LockedStateFile(const LockedStateFile&) = delete;
    LockedStateFile& operator=(const LockedStateFile&) = delete;

    State load() const;
    // Writes the state to the temporary file, flushes it and moves it over the state file, so
    // that a reader sees the old or the new file, never a mixture; the file is readable by its
    // owner only. On failure the old file is untouched.
    void save(const State& state) const;

private:
    std::string path_;
    std::unique_ptr<platform::FileLock> lock_;
};

// Loads the state under the lock, lets `change` edit it and saves it. The file must exist.
void updateState(const std::string& path, const std::function<void(State&)>& change);

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
