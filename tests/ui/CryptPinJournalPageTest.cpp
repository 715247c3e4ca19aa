// The encryption, PIN change and journal pages against the software token; the files hold
// the token's ciphertext, plaintext and journal as the token returned them.
#include "PageFixture.h"
#include "ui/EncryptPage.h"
#include "ui/JournalPage.h"
#include "ui/PinChangePage.h"
#include "ui/resources/Resource.h"

#include <gmock/gmock.h>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

using CryptPageTest = PageTest;

TEST_F(CryptPageTest, FiltersFollowTheOperationAtEachBrowse) {
    startLoggedIn();
    EncryptPage page;
    ASSERT_TRUE(page.start(view));
    EXPECT_EQ(view.control(IDC_CRYPT_ENCRYPT).check, 1);
    EXPECT_EQ(view.control(IDC_CRYPT_KEY).items.size(), 2u);
    choose(page, IDC_CRYPT_INPUT_BROWSE, "/a");
    choose(page, IDC_CRYPT_OUTPUT_BROWSE, "/b");
    view.control(IDC_CRYPT_ENCRYPT).check = 0;
    view.control(IDC_CRYPT_DECRYPT).check = 1;
    choose(page, IDC_CRYPT_INPUT_BROWSE, "/c");
    choose(page, IDC_CRYPT_OUTPUT_BROWSE, "/d");

    const std::vector<FileDialogRequest>& asked = view.fileDialogs();
    ASSERT_EQ(asked.size(), 4u);
    const auto description = [](const FileDialogRequest& request) {
        return request.filter.substr(0, request.filter.find(u'\0'));
    };
    EXPECT_EQ(description(asked[0]), u"Microsoft Office Files");
    EXPECT_EQ(description(asked[1]), u"Зашифрованный файл (*.enc)");
    EXPECT_EQ(asked[1].defaultExtension, u"enc");
    EXPECT_EQ(description(asked[2]), u"Зашифрованный файл (*.enc)");
    EXPECT_FALSE(asked[2].save);
    EXPECT_EQ(description(asked[3]), u"Microsoft Office Files");
    EXPECT_TRUE(asked[3].defaultExtension.empty());
    EXPECT_EQ(view.control(IDC_CRYPT_OUTPUT).text, u"/d");
    EXPECT_TRUE(view.control(IDC_CRYPT_RUN).enabled);
}

TEST_F(CryptPageTest, CiphertextIsTheTokensAndDecryptsBack) {
    Token& token = startLoggedIn();
    EncryptPage page;
    ASSERT_TRUE(page.start(view));
    const std::string plain = file("plain");
    const std::string cipher = file("plain.enc");
    const std::string back = file("back");
    std::string text;
    for (int i = 0; i < 3001; ++i) {
        text += static_cast<char>(i * 7 + i / 256);
    }
    crosscheck::writeText(plain, text);
    choose(page, IDC_CRYPT_INPUT_BROWSE, plain);
    choose(page, IDC_CRYPT_OUTPUT_BROWSE, cipher);
    click(page, IDC_CRYPT_RUN);
    // The first key is selected; encryption with it is deterministic.
    EXPECT_EQ(crosscheck::readFile(cipher),
              token.encrypt(token.getSecretKeys().at(0), crosscheck::readFile(plain)));

    view.control(IDC_CRYPT_ENCRYPT).check = 0;
    view.control(IDC_CRYPT_DECRYPT).check = 1;
    choose(page, IDC_CRYPT_INPUT_BROWSE, cipher);
    choose(page, IDC_CRYPT_OUTPUT_BROWSE, back);
    click(page, IDC_CRYPT_RUN);
    EXPECT_THAT(boxes(), IsEmpty());
    EXPECT_EQ(crosscheck::readFile(back), crosscheck::readFile(plain));
}

using PinChangePageTest = PageTest;

TEST_F(PinChangePageTest, ChangesChainAndTheEditsAreEmptiedAfterEveryPress) {
    startLoggedIn();
    PinChangePage page;
    // The PIN2 controls are hidden in the template.
    view.control(IDC_PINCHANGE_PIN2_GROUP).visible = false;
    ASSERT_TRUE(page.start(view));
    EXPECT_FALSE(view.control(IDC_PINCHANGE_PIN2_GROUP).visible);
    const auto press = [&](std::u16string newPin, std::u16string confirmation) {
        view.control(IDC_PINCHANGE_NEW).text = std::move(newPin);
        view.control(IDC_PINCHANGE_CONFIRM).text = std::move(confirmation);
        click(page, IDC_PINCHANGE_RUN);
        EXPECT_EQ(view.control(IDC_PINCHANGE_NEW).text, u"");
        EXPECT_EQ(view.control(IDC_PINCHANGE_CONFIRM).text, u"");
    };

    press(u"11112222", u"11112222 ");
    EXPECT_THAT(boxes(), ElementsAre("Ошибка: Введенные PIN-коды не совпадают"));
    EXPECT_THAT(journal.lines(), IsEmpty());

    press(u"11112222", u"11112222");
    press(u"33334444", u"33334444");
    EXPECT_THAT(boxes(), ElementsAre("Результат смены PIN-кода: PIN-код успешно установлен",
                                     "Результат смены PIN-кода: PIN-код успешно установлен"));
    EXPECT_EQ(tokenOf(*std::make_unique<emulator::State>(readState())).userPin, "33334444");

    press(u"1", u"1");
    EXPECT_THAT(boxes(), ElementsAre("Ошибка: PIN-код имеет недопустимую длину"));
    EXPECT_EQ(journal.lines().back(), "C_SetPIN -> CKR_PIN_LEN_RANGE");
}

TEST_F(PinChangePageTest, Pin2IsSetOnTheScreenOrRefusedThere) {
    emulator::State state = demo();
    tokenOf(state).model = "Veltora Lumora 2";
    tokenOf(state).nextPin2 = "2468";
    startLoggedIn(state);
    PinChangePage page;
    ASSERT_TRUE(page.start(view));
    EXPECT_TRUE(view.control(IDC_PINCHANGE_PIN2_RUN).visible);
    EXPECT_TRUE(view.control(IDC_PINCHANGE_PIN2_TEXT).visible);
    EXPECT_TRUE(view.control(IDC_PINCHANGE_PIN2_GROUP).visible);
    click(page, IDC_PINCHANGE_PIN2_RUN);
    EXPECT_THAT(boxes(), ElementsAre("Результат смены PIN-кода: PIN-код успешно установлен"));

    finalizeToken();
    tokenOf(state).nextPin2.reset();
    startLoggedIn(state);
    click(page, IDC_PINCHANGE_PIN2_RUN);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(view.messageBoxes().back().caption, u"Ошибка");
    EXPECT_EQ(journal.lines().back(), "C_EX_SetLocalPIN -> CKR_FUNCTION_CANCELED");
}

using JournalPageTest = PageTest;

TEST_F(JournalPageTest, TheJournalFileHoldsTheTokensJournal) {
    emulator::State state = demo();
    tokenOf(state).journal = {
        {1, emulator::JournalKind::Signature, {0x01}, Bytes(32, 0xA1)},
        {2, emulator::JournalKind::InvisibleSignature, {0x02}, Bytes(64, 0xB2)}};
    tokenOf(state).journalCounter = 2;
    Token& token = startLoggedIn(state);
    JournalPage page;
    ASSERT_TRUE(page.start(view));

    // Without a path the token is asked first, then the write fails.
    click(page, IDC_JOURNAL_RUN);
    EXPECT_THAT(journal.lines(),
                ElementsAre("C_EX_GetJournal -> CKR_OK", "C_EX_GetJournal -> CKR_OK"));
    EXPECT_THAT(boxes(), ElementsAre("Ошибка: Не удалось записать файл"));

    const std::string saved = file("journal.bin");
    choose(page, IDC_JOURNAL_BROWSE, saved);
    click(page, IDC_JOURNAL_RUN);
    EXPECT_THAT(boxes(), IsEmpty());
    const Bytes journalBytes = token.getJournal();
    EXPECT_FALSE(journalBytes.empty());
    EXPECT_EQ(crosscheck::readFile(saved), journalBytes);
}

} // namespace
