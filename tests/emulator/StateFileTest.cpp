// The state file's model on its own: what the module and the qrd-token tool share.
#include "emulator/core/StateFile.h"

#include "emulator/core/Journal.h"
#include "tests/emulator/Harness.h"

#include <fstream>
#include <set>

#if !defined(_WIN32)
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using emulator::State;
using emulator::StateFileError;

State parse(const char* text) {
    return emulator::fromJson(nlohmann::json::parse(text));
}

std::set<std::string> namesIn(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::u8string name = entry.path().filename().u8string();
        names.emplace(name.begin(), name.end());
    }
    return names;
}

TEST(StateFileTest, RoundTripKeepsEveryField) {
    State state;
    emulator::TokenState token = standardToken();
    token.label = {0xFF, 0xFE, 'x'}; // not UTF-8: kept as labelHex
    token.pin2 = "1234";
    token.journalCounter = 7;
    token.journal.push_back({7, emulator::JournalKind::InvisibleSignature, {1, 2}, Bytes(32, 9)});
    token.objects[0].vendorVisual.reset();
    token.objects[1].vendorJournal = 2;
    state.slots.emplace_back(token);
    state.slots.emplace_back(std::nullopt);
    state.faults = R"([{"function": "C_Login", "rv": 5}])"_json;

    const nlohmann::json document = emulator::toJson(state);
    EXPECT_TRUE(document["slots"][0]["token"].contains("labelHex"));
    EXPECT_TRUE(document["slots"][1]["token"].is_null());
    const State back = emulator::fromJson(document);
    EXPECT_EQ(emulator::toJson(back), document);
    EXPECT_EQ(back.slots[0]->label, token.label);
    EXPECT_FALSE(back.slots[0]->objects[0].vendorVisual.has_value());
    EXPECT_EQ(back.slots[0]->objects[1].vendorJournal, 2);
    EXPECT_FALSE(back.slots[1].has_value());
}

TEST(StateFileTest, DocumentsThatAreNotStatesAreRefused) {
    EXPECT_THROW(parse("[]"), StateFileError);
    EXPECT_THROW(parse(R"({"slots": 3})"), StateFileError);
    EXPECT_THROW(parse(R"({"slots": [{"token": {"userPinRetriesLeft": -1}}]})"), StateFileError);
    EXPECT_THROW(parse(R"({"slots": [{"token": {"objects": [{"handle": 1, "class": "secret",
                          "keyType": "gostr3410"}]}}]})"),
                 StateFileError);
    EXPECT_THROW(parse(R"({"slots": [{"token": {"objects": [{"handle": 1, "class": "public",
                          "keyType": "gostr3410", "value": "0g"}]}}]})"),
                 StateFileError);
    EXPECT_THROW(parse(R"({"slots": [{"token": {"objects": [
                          {"handle": 1, "class": "public", "keyType": "gostr3410"},
                          {"handle": 1, "class": "public", "keyType": "gostr3410"}]}}]})"),
                 StateFileError);
    // Faults are kept as written and copied by recursion: a depth no fault has is refused.
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    EXPECT_THROW(
        emulator::fromJson(nlohmann::json::parse(R"({"slots": [], "faults": )" + deep + "}")),
        StateFileError);
    const State minimal = parse(R"({"slots": [{"token": {"serial": "01"}}]})");
    EXPECT_EQ(minimal.slots[0]->model, "Veltora QRD");
    EXPECT_EQ(minimal.slots[0]->userPinRetriesLeft, 10);
}

TEST(StateFileTest, NewHandlesAreNeitherZeroNorTaken) {
    emulator::TokenState token;
    EXPECT_EQ(token.nextHandle(), 1u);
    for (const std::uint32_t handle : {1u, 0xFFFFFFFFu, 3u, 2u, 5u}) {
        token.objects.emplace_back().handle = handle;
    }
    EXPECT_EQ(token.nextHandle(), 4u);
    token.objects[1].handle = 6;
    EXPECT_EQ(token.nextHandle(), 7u);
}

// Saving in a fresh folder of the test's own, removed whatever the outcome.
using StateFileSaveTest = ModuleTest;

TEST_F(StateFileSaveTest, SaveReplacesTheFileWholeAndCreatesItsFolder) {
    const std::u8string path8 = (folder_ / "sub" / "state.json").u8string();
    const std::string path(path8.begin(), path8.end());
    State state = emulator::demoState();
    emulator::saveState(path, state);
    state.slots[0]->userPinRetriesLeft = 4;
    emulator::saveState(path, state);
    EXPECT_EQ(emulator::loadState(path).slots[0]->userPinRetriesLeft, 4);
    // Nothing is left beside the file but its lock.
    EXPECT_EQ(namesIn(folder_ / "sub"), (std::set<std::string>{"state.json", "state.json.lock"}));
    std::filesystem::remove_all(folder_ / "sub");
    EXPECT_THROW(emulator::loadState(path), StateFileError);
}

#if !defined(_WIN32)
// The file holds PINs and key values: it is readable by its owner only, and no copy of it stays
// behind when a process is killed while saving.
TEST_F(StateFileSaveTest, FileIsOwnerOnlyAndNoCopyOutlivesAKilledSave) {
    const std::string& path = statePath_;
    const auto modeOf = [&] {
        struct stat status {};
        EXPECT_EQ(::stat(path.c_str(), &status), 0);
        return status.st_mode & 0777;
    };
    const mode_t previous = ::umask(022);
    State state = emulator::demoState();
    emulator::saveState(path, state);
    EXPECT_EQ(modeOf(), 0600U);
    ::chmod(path.c_str(), 0644); // as older versions made it
    emulator::saveState(path, state);
    EXPECT_EQ(modeOf(), 0600U);
    ::chmod(path.c_str(), 0400); // stricter: kept
    emulator::saveState(path, state);
    EXPECT_EQ(modeOf(), 0400U);
    ::umask(previous);

    for (int round = 0; round < 5; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            try {
                for (;;) {
                    emulator::saveState(path, state);
                }
            } catch (const StateFileError&) {
                ::_exit(1);
            }
        }
        ::usleep(static_cast<useconds_t>(20000 + 7000 * round));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        emulator::saveState(path, state);
        EXPECT_EQ(namesIn(folder_), (std::set<std::string>{"state.json", "state.json.lock"}));
    }
}
#endif

TEST(StateFileTest, DemoTokenHasEveryKindOfKey) {
    const emulator::TokenState token = *emulator::demoState().slots.at(0);
    EXPECT_FALSE(token.hasScreen());
    int pairs[3] = {};
    int secrets = 0;
    for (const auto& key : token.objects) {
        if (key.objectClass == emulator::ObjectClass::Secret) {
            ++secrets;
            EXPECT_EQ(key.value.size(), 32U);
        } else {
            ++pairs[key.gostr3411Params.size() == 9 ? 0 : key.gostr3411Params.back() - 1];
        }
    }
    EXPECT_EQ(secrets, 2);
    EXPECT_EQ(pairs[0], 2);
    EXPECT_EQ(pairs[1], 2);
    EXPECT_EQ(pairs[2], 2);
}

TEST(JournalTest, RecordsRoundTripAndTruncationIsDetected) {
    const std::vector<emulator::JournalRecord> records = {
        {1, emulator::JournalKind::Signature, {0xAB}, Bytes(32, 1)},
        {258, emulator::JournalKind::InvisibleSignature, {}, Bytes(64, 2)},
    };
    const Bytes bytes = emulator::encodeJournal(records);
    EXPECT_EQ(bytes.size(), (4 + 1 + 2 + 1 + 1 + 32) + (4 + 1 + 2 + 0 + 1 + 64));
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[41], 2); // the second record's counter, little-endian 258
    EXPECT_EQ(bytes[42], 1);
    const auto back = emulator::decodeJournal(bytes);
    ASSERT_EQ(back.size(), 2U);
    EXPECT_EQ(back[1].counter, 258U);
    EXPECT_EQ(back[1].digest, records[1].digest);
    EXPECT_THROW(emulator::decodeJournal(Bytes(bytes.begin(), bytes.end() - 1)),
                 std::invalid_argument);
}

} // namespace
