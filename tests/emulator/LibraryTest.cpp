// Library state, the lists, slots and token information.
#include "emulator/core/StateFile.h"
#include "support/FileIo.h"
#include "tests/emulator/Harness.h"

#include <cstring>
#include <fstream>
#include <string_view>

namespace {

using LibraryTest = ModuleTest;

std::string_view field(const unsigned char* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

TEST_F(LibraryTest, ListsHaveEveryEntryAndUnofferedOnesAnswerNotSupported) {
    ASSERT_NO_FATAL_FAILURE(loadLists());
    const auto* standard = reinterpret_cast<void* const*>(&p11_->C_Initialize);
    for (std::size_t i = 0; i < kStandardEntryCount; ++i) {
        EXPECT_NE(standard[i], nullptr) << "standard entry " << i;
    }
    const auto* extended = reinterpret_cast<void* const*>(&ex_->C_EX_GetFunctionListExtended);
    for (std::size_t i = 0; i < kExtendedEntryCount; ++i) {
        EXPECT_NE(extended[i], nullptr) << "extended entry " << i;
    }
    EXPECT_EQ(p11_->C_InitToken(1, nullptr, 0, nullptr), CKR_FUNCTION_NOT_SUPPORTED);
    EXPECT_EQ(p11_->C_WaitForSlotEvent(0, nullptr, nullptr), CKR_FUNCTION_NOT_SUPPORTED);
    EXPECT_EQ(ex_->reserved3[0](), CKR_FUNCTION_NOT_SUPPORTED);
}

TEST_F(LibraryTest, CallsNeedInitialisationOnce) {
    ASSERT_NO_FATAL_FAILURE(loadLists());
    CK_ULONG count = 0;
    EXPECT_EQ(p11_->C_GetSlotList(CK_TRUE, nullptr, &count), CKR_CRYPTOKI_NOT_INITIALIZED);
    EXPECT_EQ(p11_->C_Finalize(nullptr), CKR_CRYPTOKI_NOT_INITIALIZED);
    start(standardToken());
    EXPECT_EQ(p11_->C_Initialize(nullptr), CKR_CRYPTOKI_ALREADY_INITIALIZED);
    CK_INFO info{};
    ASSERT_EQ(p11_->C_GetInfo(&info), CKR_OK);
    EXPECT_EQ(info.cryptokiVersion.major, 2);
    EXPECT_EQ(field(info.manufacturerID, 8), "Veltora ");
    ASSERT_EQ(p11_->C_Finalize(nullptr), CKR_OK);
    initialized_ = false;
    EXPECT_EQ(p11_->C_GetInfo(&info), CKR_CRYPTOKI_NOT_INITIALIZED);
}

TEST_F(LibraryTest, UnreadableStateFileFailsInitialisationAndIsKept) {
    const std::string garbage = "{\"slots\": [ {\"token\": ";
    {
        std::ofstream out(stateFile_, std::ios::binary);
        out << garbage;
    }
    ASSERT_NO_FATAL_FAILURE(loadLists());
    EXPECT_EQ(p11_->C_Initialize(nullptr), CKR_DEVICE_ERROR);
    const Bytes kept = readFile(statePath_);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), garbage);

    // A valid JSON document that is not a state, and a named file that does not exist.
    {
        std::ofstream out(stateFile_, std::ios::binary);
        out << R"({"slots": [{"token": {"objects": [{"handle": 0}]}}]})";
    }
    EXPECT_EQ(p11_->C_Initialize(nullptr), CKR_DEVICE_ERROR);
    std::filesystem::remove(stateFile_);
    EXPECT_EQ(p11_->C_Initialize(nullptr), CKR_DEVICE_ERROR);
    EXPECT_FALSE(std::filesystem::exists(stateFile_));
}

TEST_F(LibraryTest, WithoutANamedFileTheDefaultOneIsCreatedWithTheDemoToken) {
    setEnvironment("QRD_EMULATOR_STATE", std::nullopt);
    const std::u8string data = (folder_ / "data").u8string();
    const std::string dataFolder(data.begin(), data.end());
#if defined(_WIN32)
    const char* variable = "LOCALAPPDATA";
#else
    const char* variable = "XDG_DATA_HOME";
#endif
    setEnvironment(variable, dataFolder);
    ASSERT_NO_FATAL_FAILURE(loadLists());
    const CK_RV rv = p11_->C_Initialize(nullptr);
    setEnvironment(variable, std::nullopt);
    ASSERT_EQ(rv, CKR_OK);
    initialized_ = true;

    const auto file = folder_ / "data" / "qrd-emulator" / "state.json";
    ASSERT_TRUE(std::filesystem::exists(file));
    const std::u8string path = file.u8string();
    const emulator::State state = emulator::loadState(std::string(path.begin(), path.end()));
    ASSERT_EQ(state.slots.size(), 1U);
    const emulator::TokenState& token = *state.slots[0];
    EXPECT_EQ(token.model, "Veltora QRD");
    EXPECT_EQ(token.userPin, "12345678");
    EXPECT_EQ(token.firmwareMinor, 2U);
    EXPECT_EQ(token.objects.size(), 8U);

    const CK_SESSION_HANDLE session = openSession();
    EXPECT_EQ(login(session, "12345678"), CKR_OK);
}

TEST_F(LibraryTest, SlotListCountsTokensAndReportsTooSmallRoom) {
    emulator::State state;
    state.slots.emplace_back(standardToken());
    state.slots.emplace_back(std::nullopt);
    state.slots.emplace_back(standardToken());
    start(state);

    CK_ULONG count = 0;
    ASSERT_EQ(p11_->C_GetSlotList(CK_FALSE, nullptr, &count), CKR_OK);
    EXPECT_EQ(count, 3U);
    CK_SLOT_ID slots[3] = {};
    count = 1;
    EXPECT_EQ(p11_->C_GetSlotList(CK_TRUE, slots, &count), CKR_BUFFER_TOO_SMALL);
    EXPECT_EQ(count, 2U);
    count = 3;
    ASSERT_EQ(p11_->C_GetSlotList(CK_TRUE, slots, &count), CKR_OK);
    ASSERT_EQ(count, 2U);
    EXPECT_EQ(slots[0], 1U);
    EXPECT_EQ(slots[1], 3U);

    CK_SLOT_INFO info{};
    ASSERT_EQ(p11_->C_GetSlotInfo(2, &info), CKR_OK);
    EXPECT_EQ(info.flags & CKF_TOKEN_PRESENT, 0U);
    CK_TOKEN_INFO tokenInfo{};
    EXPECT_EQ(p11_->C_GetTokenInfo(2, &tokenInfo), CKR_TOKEN_NOT_PRESENT);
    EXPECT_EQ(p11_->C_GetTokenInfo(4, &tokenInfo), CKR_SLOT_ID_INVALID);
}

TEST_F(LibraryTest, NoTokenGivesAnEmptyList) {
    emulator::State state;
    state.slots.emplace_back(std::nullopt);
    start(state);
    CK_SLOT_ID slot = 0;
    CK_ULONG count = 1;
    ASSERT_EQ(p11_->C_GetSlotList(CK_TRUE, &slot, &count), CKR_OK);
    EXPECT_EQ(count, 0U);
}

TEST_F(LibraryTest, TokenInfoCarriesTheStateInBlankPaddedFields) {
    emulator::TokenState token = standardToken();
    token.label = {0xCF, 0xF0, 0xE8}; // not UTF-8: handed out as it is
    token.firmwareMajor = 3;
    token.firmwareMinor = 2;
    token.userPinRetriesLeft = 1;
    start(token);

    CK_TOKEN_INFO info{};
    ASSERT_EQ(p11_->C_GetTokenInfo(1, &info), CKR_OK);
    EXPECT_EQ(field(info.label, 32), "\xCF\xF0\xE8" + std::string(29, ' '));
    EXPECT_EQ(field(info.model, 16), "Veltora QRD     ");
    EXPECT_EQ(field(info.serialNumber, 16), "0A1B2C3D        ");
    EXPECT_EQ(field(info.manufacturerID, 32), "Veltora" + std::string(25, ' '));
    EXPECT_EQ(info.firmwareVersion.major, 3);
    EXPECT_EQ(info.firmwareVersion.minor, 2);
    EXPECT_NE(info.flags & CKF_USER_PIN_FINAL_TRY, 0U);
    EXPECT_NE(info.flags & CKF_LOGIN_REQUIRED, 0U);
}

TEST_F(LibraryTest, ScreenModelFillsTheWholeModelFieldAndAnEmptyLabelIsBlank) {
    emulator::TokenState token = standardToken();
    token.model = "Veltora Lumora 2";
    token.label.clear();
    start(token);
    CK_TOKEN_INFO info{};
    ASSERT_EQ(p11_->C_GetTokenInfo(1, &info), CKR_OK);
    EXPECT_EQ(field(info.model, 16), "Veltora Lumora 2");
    EXPECT_EQ(field(info.label, 32), std::string(32, ' '));
}

TEST_F(LibraryTest, ExtendedInfoGivesSizeFlagsAndChecksum) {
    emulator::TokenState token = standardToken();
    start(token);
    TokenInfoExtended info{};
    info.size = sizeof info;
    info.checksum = 0xFFFFFFFF;
    ASSERT_EQ(ex_->C_EX_GetTokenInfoExtended(1, &info), CKR_OK);
    EXPECT_EQ(info.size, sizeof info);
    EXPECT_EQ(info.flags, 0U);
    EXPECT_EQ(info.checksum, 0x12345678U);

    ASSERT_EQ(p11_->C_Finalize(nullptr), CKR_OK);
    initialized_ = false;
    token.checksumInvalid = true;
    start(token);
    ASSERT_EQ(ex_->C_EX_GetTokenInfoExtended(1, &info), CKR_OK);
    EXPECT_EQ(info.flags, CHECKSUM_INVALID_FLAG);
}

TEST_F(LibraryTest, MechanismsAreListedWithTheirKeySizes) {
    startStandard();
    CK_ULONG count = 0;
    ASSERT_EQ(p11_->C_GetMechanismList(1, nullptr, &count), CKR_OK);
    ASSERT_EQ(count, 6U);
    std::vector<CK_MECHANISM_TYPE> types(count);
    count = 2;
    EXPECT_EQ(p11_->C_GetMechanismList(1, types.data(), &count), CKR_BUFFER_TOO_SMALL);
    count = types.size();
    ASSERT_EQ(p11_->C_GetMechanismList(1, types.data(), &count), CKR_OK);
    EXPECT_NE(std::ranges::find(types, CKM_GOSTR3411_12_512), types.end());

    CK_MECHANISM_INFO info{};
    ASSERT_EQ(p11_->C_GetMechanismInfo(1, CKM_GOSTR3410_512, &info), CKR_OK);
    EXPECT_EQ(info.ulMaxKeySize, 512U);
    EXPECT_NE(info.flags & CKF_SIGN, 0U);
    EXPECT_EQ(p11_->C_GetMechanismInfo(1, CKM_RSA_PKCS, &info), CKR_MECHANISM_INVALID);
}

} // namespace
