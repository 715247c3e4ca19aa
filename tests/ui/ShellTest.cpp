// The shell's start-up and shutdown and the PIN dialog, against in-memory views and the
// software token.
#include "ui/Shell.h"

#include "EmulatorFixture.h"
#include "MemoryDialogView.h"
#include "MemoryShellView.h"
#include "ui/PinDialog.h"
#include "ui/resources/Resource.h"

#include <gmock/gmock.h>

using testing::Contains;
using testing::ElementsAre;

namespace {

using ShellTest = EmulatorTest;

TEST_F(ShellTest, StartShowsTheTokenThenAsksForThePinAndShutsDownOnce) {
    writeState(demo());
    MemoryShellView view;
    ShellState state;
    runStartup(view, state);
    // Clicks made while the token opened are dropped before the PIN dialog can take them.
    EXPECT_THAT(view.events, ElementsAre("attach", "paint", "discard", "pin"));
    EXPECT_TRUE(state.tokenReady);
    EXPECT_EQ(view.texts[IDC_MAIN_SERIAL], u"0439041101"); // 1A2B3C4D
    EXPECT_EQ(view.texts[IDC_MAIN_LABEL], u"Демо-токен");
    EXPECT_EQ(view.texts[IDC_MAIN_CHECKSUM], u"5a3c96e1 (OK)");
    EXPECT_EQ(view.waitDepth, 0);

    journal.clear();
    shutdown(view, state);
    shutdown(view, state);
    EXPECT_THAT(view.events, ElementsAre("attach", "paint", "discard", "pin", "quit"));
    EXPECT_THAT(journal.lines(), ElementsAre("C_CloseSession -> CKR_OK", "C_Finalize -> CKR_OK"));
    EXPECT_FALSE(moduleLoaded());
}

TEST_F(ShellTest, WithoutOneSupportedTokenTheErrorShowsAndTheProgramCloses) {
    emulator::State none = demo();
    none.slots.clear();
    emulator::State two = demo();
    two.slots.push_back(two.slots.at(0));
    emulator::State unsupported = demo();
    tokenOf(unsupported).model = "Other";
    const std::pair<emulator::State, const char*> cases[] = {
        {none, "No token found"}, {two, "Connect only one token"}, {unsupported, "No token found"}};
    for (const auto& [tokens, error] : cases) {
        writeState(tokens);
        MemoryShellView view;
        ShellState state;
        runStartup(view, state);
        EXPECT_THAT(view.events, ElementsAre("attach", "paint", "discard",
                                             std::string("error: ") + error, "close"));
        EXPECT_FALSE(state.tokenReady);
        shutdown(view, state); // nothing to finalise
        EXPECT_EQ(view.events.back(), "quit");
    }
}

TEST_F(ShellTest, APinDialogThatDoesNotLogInClosesAndAFailedFinaliseIsReported) {
    writeState(demo());
    MemoryShellView view;
    view.pinDialog = [] { return 2; };
    ShellState state;
    runStartup(view, state);
    EXPECT_THAT(view.events, ElementsAre("attach", "paint", "discard", "pin", "close"));

    nlohmann::json faults = nlohmann::json::array();
    faults.push_back({{"function", "C_Finalize"}, {"rv", "CKR_DEVICE_ERROR"}});
    setenv("QRD_EMULATOR_FAULTS", faults.dump().c_str(), 1);
    finalizeToken();
    writeState(demo());
    ShellState failing;
    runStartup(view, failing);
    view.events.clear();
    shutdown(view, failing);
    EXPECT_THAT(view.events, ElementsAre("error: CKR_DEVICE_ERROR", "quit"));
    EXPECT_FALSE(moduleLoaded());

    // When the system's session ends, no box holds it up; the log still has the call.
    writeState(demo());
    ShellState ending;
    runStartup(view, ending);
    view.events.clear();
    journal.clear();
    endSession(view, ending);
    EXPECT_THAT(view.events, ElementsAre("quit"));
    EXPECT_THAT(journal.lines(), Contains("C_Finalize -> CKR_DEVICE_ERROR"));
    EXPECT_FALSE(moduleLoaded());
}

TEST_F(ShellTest, ASessionThatEndsWhileTheTokenOpensClosesItAndAsksForNoPin) {
    writeState(demo());
    MemoryShellView view;
    ShellState state;
    view.whileDiscarding = [&] { endSession(view, state); };
    runStartup(view, state);
    EXPECT_THAT(view.events, ElementsAre("attach", "paint", "discard", "quit"));
    EXPECT_THAT(journal.lines(), Contains("C_Finalize -> CKR_OK"));
    EXPECT_FALSE(moduleLoaded());
}

class PinDialogTest : public EmulatorTest {
protected:
    void SetUp() override {
        EmulatorTest::SetUp();
        start();
        journal.clear();
    }
    MemoryDialogView view;
};

TEST_F(PinDialogTest, TheRightPinLogsInAndTheEditIsEmptied) {
    view.control(IDC_PIN_EDIT).text = u"12345678";
    pinDialogCommand(view, 1, 0);
    EXPECT_EQ(view.dialogResult(), 1);
    EXPECT_THAT(journal.lines(), ElementsAre("C_Login -> CKR_OK"));
    EXPECT_EQ(view.control(IDC_PIN_EDIT).text, u"");
    EXPECT_EQ(view.waitCursorsShown(), 1);
    EXPECT_EQ(view.waitDepth(), 0);
}

TEST_F(PinDialogTest, EmptyPinAndCancelEndWithoutCallingTheToken) {
    pinDialogCommand(view, 1, 0);
    EXPECT_EQ(view.dialogResult(), 2);
    MemoryDialogView cancelled;
    cancelled.control(IDC_PIN_EDIT).text = u"12345678";
    pinDialogCommand(cancelled, 2, 0);
    EXPECT_EQ(cancelled.dialogResult(), 2);
    pinDialogCommand(cancelled, 1, 1); // a notification, not a click
    EXPECT_TRUE(journal.lines().empty());
    EXPECT_TRUE(view.messageBoxes().empty());
}

TEST_F(PinDialogTest, AWrongPinIsReportedAfterItsLoginLineWhileTheDialogStands) {
    view.control(IDC_PIN_EDIT).text = u"00000000";
    pinDialogCommand(view, 1, 0);
    EXPECT_EQ(view.dialogResult(), 2);
    EXPECT_THAT(journal.lines(), ElementsAre("C_Login -> CKR_PIN_INCORRECT"));
    ASSERT_EQ(view.messageBoxes().size(), 1u);
    EXPECT_EQ(view.messageBoxes()[0].text, u"Неправильный PIN-код");
    EXPECT_EQ(view.messageBoxes()[0].caption, u"Ошибка");
    EXPECT_FALSE(view.messageBoxes()[0].dialogEnded);
    // A key pressed while the token checked the PIN cannot dismiss the box.
    EXPECT_THAT(view.events(), ElementsAre("paint", "discard", "box Ошибка"));
}

TEST_F(PinDialogTest, OnlyTheFirstSixtyThreeCharactersAreSent) {
    finalizeToken();
    emulator::State state = demo();
    tokenOf(state).userPin = std::string(63, '7');
    start(state);
    journal.clear();
    view.control(IDC_PIN_EDIT).text = std::u16string(70, u'7');
    pinDialogCommand(view, 1, 0);
    EXPECT_EQ(view.dialogResult(), 1);
    EXPECT_THAT(journal.lines(), ElementsAre("C_Login -> CKR_OK"));
}

} // namespace
