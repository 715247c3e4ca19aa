// One command per click: a page's command button is greyed while the token works, the input
// made meanwhile is dropped before any box the command shows, and the page's button rule
// applies again afterwards, whether the command succeeded or failed.
#include "PageFixture.h"
#include "ui/VerifyPage.h"
#include "ui/resources/Resource.h"

#include <gmock/gmock.h>

using testing::ElementsAre;

namespace {

using CommandClickTest = PageTest;

TEST_F(CommandClickTest, TheButtonIsGreyedUntilTheCommandEndsAndInputGoesBeforeAnyBox) {
    startLoggedIn();
    VerifyPage page;
    ASSERT_TRUE(page.start(view));
    const std::string data = file("data");
    const std::string signature = file("data.sig");
    crosscheck::writeText(data, "x");
    crosscheck::writeText(signature, std::string(64, 's')); // no signature of the key
    view.answerFileDialog(utf8ToWide(data));
    click(page, IDC_VERIFY_INPUT_BROWSE);
    EXPECT_TRUE(view.control(IDC_VERIFY_INPUT_BROWSE).enabled) << "no command of the token";
    choose(page, IDC_VERIFY_SIGNATURE_BROWSE, signature);

    const std::string run = std::to_string(IDC_VERIFY_RUN);
    view.events().clear();
    click(page, IDC_VERIFY_RUN);
    EXPECT_THAT(view.events(), ElementsAre("disable " + run, "paint", "discard",
                                           "box Результат проверки подписи", "enable " + run));

    crosscheck::writeText(signature, "short");
    view.events().clear();
    click(page, IDC_VERIFY_RUN);
    EXPECT_THAT(view.events(),
                ElementsAre("disable " + run, "paint", "discard", "box Ошибка", "enable " + run));
    EXPECT_THAT(boxes(), ElementsAre("Результат проверки подписи: Подпись ошибочна",
                                     "Ошибка: Некорректная длина подписи"));
}

} // namespace
