// Reading and writing the state file under its lock, and where the module finds it.
#include "emulator/core/platform/StateStorage.h"

#include "emulator/core/StateFile.h"
#include "emulator/core/platform/Environment.h"
#include "support/TextConversion.h"
#include "support/Wipe.h"
#include "support/platform/NativeFile.h"

#include <filesystem>
#include <system_error>

namespace emulator {
namespace {

using nlohmann::json;

std::filesystem::path nativePath(const std::string& utf8) {
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

void createFolderOf(const std::string& path) {
    try {
        const std::filesystem::path folder = nativePath(path).parent_path();
        if (!folder.empty()) {
            std::filesystem::create_directories(folder);
        }
    } catch (const std::filesystem::filesystem_error& error) {
        throw StateFileError("cannot create the folder of the state file " + path + ": " +
                             error.what());
    }
}

State readState(const std::string& path) {
    Bytes contents;
    try {
        contents = ::platform::readNativeFile(utf8ToWide(path));
    } catch (const std::exception& error) {
        throw StateFileError("cannot read the state file " + path + ": " + error.what());
    }
    json document = json::parse(contents.begin(), contents.end(), nullptr, false);
    secureWipe(contents.data(), contents.size());
    if (document.is_discarded()) {
        throw StateFileError("the state file " + path + " is not valid JSON");
    }
    try {
        return fromJson(document);
    } catch (const StateFileError& error) {
        throw StateFileError(path + ": " + error.what());
    }
}

} // namespace

LockedStateFile::LockedStateFile(std::string path) : path_(std::move(path)) {
    try {
        lock_ = std::make_unique<platform::FileLock>(path_ + ".lock");
    } catch (const std::system_error& error) {
        throw StateFileError("cannot lock the state file " + path_ + ": " + error.what());
    }
}

LockedStateFile::~LockedStateFile() = default;

State LockedStateFile::load() const {
    return readState(path_);
}

void LockedStateFile::save(const State& state) const {
    std::string text;
    try {
        text = toJson(state).dump(2) + "\n";
        platform::replaceFile(path_, path_ + ".tmp",
                              reinterpret_cast<const unsigned char*>(text.data()), text.size());
    } catch (const std::exception& error) {
        secureWipe(text.data(), text.size());
        throw StateFileError("cannot write the state file " + path_ + ": " + error.what());
    }
    secureWipe(text.data(), text.size());
}

State loadState(const std::string& path) {
    if (!stateFileExists(path)) {
        throw StateFileError("cannot read the state file " + path + ": it does not exist");
    }
    return LockedStateFile(path).load();
}

bool stateFileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(nativePath(path), error);
}

void saveState(const std::string& path, const State& state) {
    createFolderOf(path);
    LockedStateFile(path).save(state);
}

void updateState(const std::string& path, const std::function<void(State&)>& change) {
    if (!stateFileExists(path)) {
        throw StateFileError("cannot read the state file " + path + ": it does not exist");
    }
    const LockedStateFile file(path);
    State state = file.load();
    change(state);
    file.save(state);
}

StatePath stateFilePath() {
    if (auto named = platform::environmentVariable("QRD_EMULATOR_STATE");
        named && !named->empty()) {
        return {*named, false};
    }
    const std::string folder = platform::userDataFolder();
    if (folder.empty()) {
        throw StateFileError("no per-user data folder is known for the default state file");
    }
    const std::filesystem::path file = nativePath(folder) / "qrd-emulator" / "state.json";
    const std::u8string utf8 = file.u8string();
    return {std::string(utf8.begin(), utf8.end()), true};
}

} // namespace emulator
