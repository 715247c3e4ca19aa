#include "tests/emulator/Harness.h"

#include "emulator/crypto/Gost.h"

#include <atomic>
#include <cstring>
#include <random>

Bytes hexBytes(const std::string& text) {
    return emulator::fromHex(text);
}

CK_ULONG ulongOf(const CK_ATTRIBUTE& attribute) {
    CK_ULONG value = 0;
    std::memcpy(&value, attribute.pValue, sizeof value);
    return value;
}

namespace {

emulator::TokenState makeStandardToken() {
    emulator::State demo = emulator::demoState();
    emulator::TokenState token = *demo.slots.front();
    token.label = {'T', 'e', 's', 't', ' ', 't', 'o', 'k', 'e', 'n'};
    token.serial = "0A1B2C3D";
    token.checksum = 0x12345678;
    return token;
}

std::filesystem::path uniqueFolder() {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    const auto name =
        "qrd-emulator-test-" + std::to_string(random()) + "-" + std::to_string(counter++);
    return std::filesystem::temp_directory_path() / name;
}

} // namespace

emulator::TokenState standardToken() {
    static const emulator::TokenState token = makeStandardToken();
    return token;
}

void ModuleTest::SetUp() {
    folder_ = uniqueFolder();
    std::filesystem::create_directories(folder_);
    stateFile_ = folder_ / "state.json";
    const std::u8string path = stateFile_.u8string();
    statePath_.assign(path.begin(), path.end());
    setEnvironment("QRD_EMULATOR_STATE", statePath_);
    setEnvironment("QRD_EMULATOR_FAULTS", std::nullopt);
}

void ModuleTest::TearDown() {
    if (initialized_ && p11_ != nullptr) {
        p11_->C_Finalize(nullptr);
    }
    setEnvironment("QRD_EMULATOR_STATE", std::nullopt);
    setEnvironment("QRD_EMULATOR_FAULTS", std::nullopt);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

void ModuleTest::loadLists() {
    const ModuleEntry entry = moduleEntry();
    p11_ = nullptr;
    ex_ = nullptr;
    ASSERT_EQ(entry.getFunctionList(&p11_), CKR_OK);
    ASSERT_EQ(entry.getFunctionListExtended(&ex_), CKR_OK);
    ASSERT_NE(p11_, nullptr);
    ASSERT_NE(ex_, nullptr);
}

void ModuleTest::start(const emulator::State& state) {
    emulator::saveState(statePath_, state);
    ASSERT_NO_FATAL_FAILURE(loadLists());
    ASSERT_EQ(p11_->C_Initialize(nullptr), CKR_OK);
    initialized_ = true;
}

void ModuleTest::start(const emulator::TokenState& token) {
    emulator::State state;
    state.slots.emplace_back(token);
    start(state);
}

emulator::State ModuleTest::savedState() const {
    return emulator::loadState(statePath_);
}

CK_SESSION_HANDLE ModuleTest::openSession(CK_SLOT_ID slot, CK_FLAGS flags) {
    CK_SESSION_HANDLE session = CK_INVALID_HANDLE;
    EXPECT_EQ(p11_->C_OpenSession(slot, flags, nullptr, nullptr, &session), CKR_OK);
    return session;
}

CK_RV ModuleTest::login(CK_SESSION_HANDLE session, const std::string& pin) {
    std::string copy = pin;
    return p11_->C_Login(session, CKU_USER, reinterpret_cast<CK_UTF8CHAR_PTR>(copy.data()),
                         copy.size());
}

std::vector<CK_OBJECT_HANDLE> ModuleTest::find(CK_SESSION_HANDLE session,
                                               std::vector<CK_ATTRIBUTE> pattern) {
    std::vector<CK_OBJECT_HANDLE> found;
    EXPECT_EQ(p11_->C_FindObjectsInit(session, pattern.empty() ? nullptr : pattern.data(),
                                      pattern.size()),
              CKR_OK);
    for (;;) {
        CK_OBJECT_HANDLE batch[3];
        CK_ULONG count = 0;
        EXPECT_EQ(p11_->C_FindObjects(session, batch, 3, &count), CKR_OK);
        if (count == 0) {
            break;
        }
        found.insert(found.end(), batch, batch + count);
    }
    EXPECT_EQ(p11_->C_FindObjectsFinal(session), CKR_OK);
    return found;
}
