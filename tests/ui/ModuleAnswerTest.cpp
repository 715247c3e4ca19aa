// What the program makes of a module's odd answers, made by the software token's faults: a
// label cut inside its last letter or not UTF-8 is shown without stopping anything, and an
// "unavailable" length answered with success, or one above what the call can produce, is
// refused before a buffer of it is made.
#include "MemoryShellView.h"
#include "PageFixture.h"
#include "ui/Shell.h"
#include "ui/SignPage.h"
#include "ui/resources/Resource.h"

#include <algorithm>
#include <filesystem>
#include <gmock/gmock.h>

using testing::ElementsAre;

namespace {

enum class Where { Startup, KeyList, Signing };

struct Answer {
    const char* name;
    Where where;
    const char* faults;   // a JSON array
    std::string label;    // the token's (Startup) or the first private key's label; "": the demo's
    std::u16string shown; // the token's label or the first key's name; "": the answer is refused
    const char* refused;  // the log line of the refused answer, the last call made
};

void PrintTo(const Answer& answer, std::ostream* out) {
    *out << answer.name;
}

class ModuleAnswerTest : public PageTest, public testing::WithParamInterface<Answer> {};

TEST_P(ModuleAnswerTest, IsShownOrRefused) {
    const Answer& answer = GetParam();
    emulator::State state = demo();
    state.faults = nlohmann::json::parse(answer.faults);
    if (!answer.label.empty()) {
        emulator::Bytes& label =
            answer.where == Where::Startup ? tokenOf(state).label : tokenOf(state).objects[0].label;
        label.assign(answer.label.begin(), answer.label.end());
    }
    const bool refused = answer.shown.empty();

    if (answer.where == Where::Startup) {
        writeState(state);
        MemoryShellView shell;
        ShellState shellState;
        runStartup(shell, shellState);
        if (refused) {
            EXPECT_THAT(shell.events,
                        ElementsAre("attach", "paint", "discard",
                                    "error: Invalid answer from the token module", "close"));
        } else {
            EXPECT_THAT(shell.events, ElementsAre("attach", "paint", "discard", "pin"));
            EXPECT_EQ(shell.texts[IDC_MAIN_LABEL], answer.shown);
        }
    } else {
        startLoggedIn(state);
        SignPage page;
        const bool started = startPage(page, view);
        if (answer.where == Where::Signing) {
            ASSERT_TRUE(started);
            crosscheck::writeText(file("data"), "x");
            choose(page, IDC_SIGN_INPUT_BROWSE, file("data"));
            choose(page, IDC_SIGN_SIGNATURE_BROWSE, file("data.sig"));
            journal.clear();
            click(page, IDC_SIGN_RUN);
            EXPECT_FALSE(std::filesystem::exists(file("data.sig")));
        }
        if (refused) {
            EXPECT_THAT(boxes(), ElementsAre("Ошибка: Модуль токена вернул некорректный ответ"));
        } else {
            EXPECT_TRUE(started);
            ASSERT_FALSE(view.control(IDC_SIGN_KEY).items.empty());
            EXPECT_EQ(view.control(IDC_SIGN_KEY).items[0], answer.shown);
        }
    }

    if (refused) {
        // No call follows the refused size query but the start-up's C_Finalize: no buffer of
        // the answered size was handed to the module.
        std::vector<std::string> lines = journal.lines();
        if (!lines.empty() && lines.back() == "C_Finalize -> CKR_OK") {
            lines.pop_back();
        }
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), answer.refused);
        EXPECT_EQ(std::ranges::count(lines, lines.back()), 1);
    }
}

const char* const kNone = "[]";

INSTANTIATE_TEST_SUITE_P(
    Answers, ModuleAnswerTest,
    testing::Values(Answer{"TokenLabelCutInALetter", Where::Startup,
                           R"([{"function": "C_GetTokenInfo", "kind": "cutLabel", "by": 1}])", "",
                           u"Демо-токе", nullptr},
                    Answer{"TokenLabelWithASurrogate", Where::Startup, kNone, "Метка\xED\xA0\x80",
                           u"Некорректная строка", nullptr},
                    Answer{"UnavailableSlotCount", Where::Startup,
                           R"([{"function": "C_GetSlotList", "kind": "unavailableLength"}])", "",
                           u"", "C_GetSlotList -> CKR_OK"},
                    Answer{"KeyLabelCutInALetter", Where::KeyList,
                           R"([{"function": "C_GetAttributeValue", "kind": "cutLabel", "by": 1}])",
                           "Подпись", u"Подпис - 01 - 256 bits - Journal - PIN", nullptr},
                    Answer{"UnavailableAttributeLength", Where::KeyList,
                           R"([{"function": "C_GetAttributeValue", "kind": "unavailableLength"}])",
                           "", u"", "C_GetAttributeValue -> CKR_OK"},
                    Answer{"UnavailableSignatureLength", Where::Signing,
                           R"([{"function": "C_Sign", "kind": "unavailableLength"}])", "", u"",
                           "C_Sign -> CKR_OK"},
                    Answer{"SignatureLengthAboveTheKeys", Where::Signing,
                           R"([{"function": "C_Sign", "kind": "overstate", "by": 1}])", "", u"",
                           "C_Sign -> CKR_OK"}),
    [](const testing::TestParamInfo<Answer>& row) { return std::string(row.param.name); });

} // namespace
