// qrd-token run as a program: it creates and changes state files the module reads, its public
// keys are read by OpenSSL, and bad arguments end with exit code 2 and leave the file alone.
#include "emulator/core/StateFile.h"
#include "emulator/crypto/Gost.h"
#include "tests/gost/OpenSsl.h"

#include <gtest/gtest.h>

using namespace crosscheck;

namespace {

class ToolTest : public testing::Test {
protected:
    CommandResult tool(const std::string& arguments) {
        return run(std::string(QRD_TOKEN_PROGRAM) + " --state " + state_ + " " + arguments);
    }

    // Runs a command that must succeed.
    std::string ok(const std::string& arguments) {
        CommandResult result = tool(arguments);
        EXPECT_EQ(result.status, 0) << arguments << "\n" << result.output;
        return result.output;
    }

    ScratchFolder folder_;
    std::string state_ = folder_.file("state.json");
};

TEST_F(ToolTest, GeneratedPublicKeysAreReadAndVerifiedByOpenSsl) {
    ok("init --tokens 2 --slots 3 --label Test --serial 00FF");
    struct Case {
        const char* genkey;
        const char* digestOption;
        gost::Hash hash;
        const char* opensslParamSet;
    };
    const Case cases[] = {
        {"--kind 2001", "-md_gost94", gost::Hash::R3411_94, "CryptoPro-A"},
        {"--kind 2012-256", "-md_gost12_256", gost::Hash::Streebog256, "(256 bit) ParamSet A"},
        {"--kind 2012-512", "-md_gost12_512", gost::Hash::Streebog512, "(512 bit) ParamSet A"},
        {"--kind 2012-512 --paramset B", "-md_gost12_512", gost::Hash::Streebog512,
         "(512 bit) ParamSet B"},
    };
    const Bytes data(300, 0x5A);
    writeFile(folder_.file("data"), data);
    for (const Case& each : cases) {
        SCOPED_TRACE(each.genkey);
        ok(std::string("genkey --token 2 ") + each.genkey);
        const emulator::State state = emulator::loadState(state_);
        const emulator::KeyObject& privateKey = state.slots[1]->objects.end()[-2];
        const emulator::KeyObject& publicKey = state.slots[1]->objects.back();
        ASSERT_EQ(privateKey.objectClass, emulator::ObjectClass::Private);
        ASSERT_EQ(publicKey.handle, privateKey.handle + 1);

        // The PEM of the public key, and the one computed from the private key, are equal.
        const std::string pem = folder_.file("public.pem");
        ok("export-public --token 2 --handle " + std::to_string(publicKey.handle) + " --out " +
           pem);
        const Bytes written = readFile(pem);
        EXPECT_EQ(ok("export-public --token 2 --handle " + std::to_string(privateKey.handle)),
                  std::string(written.begin(), written.end()));
        EXPECT_NE(openssl("pkey", "-pubin -in " + pem + " -noout -text").find(each.opensslParamSet),
                  std::string::npos);

        // A signature by the private key in the file verifies with the exported key.
        const gost::Curve& curve = *gost::curveByOid(privateKey.gostr3410Params);
        writeFile(folder_.file("signature"),
                  gost::sign(curve, privateKey.value, gost::digest(each.hash, data)));
        EXPECT_NO_THROW(openssl("dgst", std::string(each.digestOption) + " -verify " + pem +
                                            " -signature " + folder_.file("signature") + " " +
                                            folder_.file("data")));
    }
    const std::string listing = ok("list");
    EXPECT_NE(listing.find("Slot 3: no token"), std::string::npos);
    EXPECT_NE(listing.find("serial 0100"), std::string::npos);
    EXPECT_NE(listing.find("34.10-2012-512 tc26-B"), std::string::npos);
    EXPECT_EQ(listing.find("12345678"), std::string::npos) << "a PIN was printed";
}

TEST_F(ToolTest, InitSetsTheTokenFields) {
    ok("init --model 'Veltora Lumora 2' --firmware 3.7 --user-pin 1111 --so-pin 2222 "
       "--pin2 3333 --next-pin2 4444 --retries 3 --refuse-signatures --checksum-invalid "
       "--demo-keys");
    const emulator::State state = emulator::loadState(state_);
    ASSERT_EQ(state.slots.size(), 1u);
    const emulator::TokenState& token = *state.slots[0];
    EXPECT_TRUE(token.hasScreen());
    EXPECT_EQ(token.firmwareMajor, 3u);
    EXPECT_EQ(token.firmwareMinor, 7u);
    EXPECT_EQ(token.userPin, "1111");
    EXPECT_EQ(token.soPin, "2222");
    EXPECT_EQ(token.pin2, "3333");
    EXPECT_EQ(token.nextPin2, "4444");
    EXPECT_EQ(token.userPinRetriesLeft, 3);
    EXPECT_TRUE(token.refuseSignatures);
    EXPECT_TRUE(token.checksumInvalid);
    EXPECT_EQ(token.objects.size(), emulator::demoState().slots[0]->objects.size());
}

TEST_F(ToolTest, BadArgumentsExitWithTwoAndChangeNothing) {
    ok("init");
    const Bytes before = readFile(state_);
    for (const char* arguments : {
             "",
             "frobnicate",
             "genkey",
             "genkey --kind 2013",
             "genkey --kind 2001 --paramset Q",
             "genkey --kind 2001 --token 2",
             "genkey --kind 2001 --token x",
             "genkey --kind 2001 --id 0g",
             "genkey --kind 2001 --journal 2",
             "genkey --kind 2001 --label",
             "genkey --kind 2001 stray",
             "genkey --kind 2001 --kind 2001",
             "export-public",
             "export-public --handle 999",
             "init --force --pin2 1234",
             "init --force --tokens 3 --slots 2",
             "init --force --firmware 1",
             "init --force --serial XYZ",
             "fault --function C_Login",
             "fault --function C_Login --kind strange",
             "fault --list --clear",
         }) {
        SCOPED_TRACE(arguments);
        const CommandResult result = tool(arguments);
        EXPECT_EQ(result.status, 2) << result.output;
        EXPECT_NE(result.output.find("qrd-token: "), std::string::npos) << result.output;
    }
    EXPECT_EQ(readFile(state_), before);
}

TEST_F(ToolTest, UnusableStateFilesFailWithOne) {
    writeText(state_, "{ not json");
    const CommandResult corrupt = tool("list");
    EXPECT_EQ(corrupt.status, 1);
    EXPECT_NE(corrupt.output.find("qrd-token: "), std::string::npos);
    const CommandResult overwrite = tool("init");
    EXPECT_EQ(overwrite.status, 1);
    EXPECT_EQ(readFile(state_),
              Bytes(std::string_view("{ not json").begin(), std::string_view("{ not json").end()));
    EXPECT_EQ(tool("genkey --kind 2001").status, 1);
    ok("init --force");
    EXPECT_EQ(
        run(std::string(QRD_TOKEN_PROGRAM) + " list --state " + folder_.file("missing")).status, 1);
}

TEST_F(ToolTest, FaultsAndJournal) {
    ok("init");
    ok("fault --function C_Login --call 2 --rv CKR_PIN_LOCKED");
    ok("fault --function C_Sign --kind overstate --by 4");
    ok("fault --function C_Digest --rv 0x30");
    ok("fault --function C_GetAttributeValue --kind cutLabel --by 1");
    ok("fault --function C_GetSlotList --kind unavailableLength");
    ok("fault --function C_Sign --kind delay --value 3000");
    const std::string faults = ok("fault --list");
    EXPECT_NE(faults.find(R"("rv":"CKR_PIN_LOCKED")"), std::string::npos) << faults;
    EXPECT_NE(faults.find(R"("by":4)"), std::string::npos) << faults;
    EXPECT_NE(faults.find(R"("rv":48)"), std::string::npos) << faults;
    EXPECT_NE(faults.find(R"("kind":"unavailableLength")"), std::string::npos) << faults;
    EXPECT_NE(faults.find(R"("kind":"delay","value":3000)"), std::string::npos) << faults;
    ok("fault --clear");
    EXPECT_EQ(ok("fault --list"), "");

    emulator::State state = emulator::loadState(state_);
    state.slots[0]->journal.push_back(
        {7, emulator::JournalKind::InvisibleSignature, {0xAB}, {0x01, 0x02}});
    emulator::saveState(state_, state);
    EXPECT_EQ(ok("journal"), "7 invisible key ab digest 0102\n");
    ok("journal --clear");
    EXPECT_EQ(ok("journal"), "");
}

TEST_F(ToolTest, EveryCommandHasHelp) {
    EXPECT_NE(ok("--help").find("export-public"), std::string::npos);
    for (const char* command : {"init", "genkey", "list", "export-public", "journal", "fault"}) {
        EXPECT_NE(ok(std::string(command) + " --help").find("Usage: qrd-token"), std::string::npos)
            << command;
    }
}

} // namespace
