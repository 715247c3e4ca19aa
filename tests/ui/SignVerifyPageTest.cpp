// The signing and verification pages: key lists, the two signing kinds, the token's
// signatures written to their files as the token returned them, and verdicts.
#include "PageFixture.h"
#include "token/Mechanisms.h"
#include "ui/SignPage.h"
#include "ui/VerifyPage.h"
#include "ui/resources/Resource.h"

#include <gmock/gmock.h>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

using SignVerifyPageTest = PageTest;

TEST_F(SignVerifyPageTest, WithoutKeysTheListsStayEmptyAndTheButtonsDisabled) {
    emulator::State state = demo();
    tokenOf(state).objects.clear();
    startLoggedIn(state);
    SignPage sign;
    VerifyPage verify;
    ASSERT_TRUE(sign.start(view));
    ASSERT_TRUE(verify.start(view));
    choose(sign, IDC_SIGN_INPUT_BROWSE, "/in");
    choose(sign, IDC_SIGN_SIGNATURE_BROWSE, "/out");
    choose(verify, IDC_VERIFY_INPUT_BROWSE, "/in");
    choose(verify, IDC_VERIFY_SIGNATURE_BROWSE, "/in.sig");
    EXPECT_THAT(view.control(IDC_SIGN_KEY).items, IsEmpty());
    EXPECT_FALSE(view.control(IDC_SIGN_RUN).enabled);
    EXPECT_EQ(view.control(IDC_SIGN_ALGORITHM).text, u"");
    EXPECT_FALSE(view.control(IDC_SIGN_VISUALIZE).visible);
    EXPECT_FALSE(view.control(IDC_VERIFY_RUN).enabled);
    EXPECT_EQ(view.control(IDC_VERIFY_ALGORITHM).text, u"");
}

TEST_F(SignVerifyPageTest, AKeyListThatCannotBeReadLeavesTheButtonsDisabled) {
    emulator::State state = demo();
    state.faults = R"([{"function": "C_FindObjectsInit", "rv": "CKR_DEVICE_ERROR"}])"_json;
    startLoggedIn(state);
    SignPage sign;
    VerifyPage verify;
    EXPECT_FALSE(startPage(sign, view));
    EXPECT_FALSE(startPage(verify, view));
    EXPECT_EQ(boxes().size(), 2u);
    EXPECT_FALSE(view.control(IDC_SIGN_RUN).enabled);
    EXPECT_FALSE(view.control(IDC_VERIFY_RUN).enabled);
}

TEST_F(SignVerifyPageTest, SignaturesOfEveryKeyKindVerifyWithTheirPublicKeys) {
    Token& token = startLoggedIn();
    SignPage page;
    ASSERT_TRUE(page.start(view));
    const std::string data = file("data.txt");
    crosscheck::writeText(data, "договор № 1\n" + std::string(5000, 'z'));
    choose(page, IDC_SIGN_INPUT_BROWSE, data);

    // The demo token's key pairs: public key i belongs to private key i.
    const KeyList<PublicKey> publicKeys = token.getPublicKeys();
    const char16_t* captions[] = {u"ГОСТ Р 34.10-2001", u"ГОСТ Р 34.10-2012 (256 бит)",
                                  u"ГОСТ Р 34.10-2012 (512 бит)"};
    for (int index = 0; index < 3; ++index) {
        view.control(IDC_SIGN_KEY).selection = index;
        page.command(view, IDC_SIGN_KEY, 0, 1);
        EXPECT_EQ(view.control(IDC_SIGN_ALGORITHM).text, captions[index]);
        const std::string signature = file("data" + std::to_string(index) + ".sig");
        choose(page, IDC_SIGN_SIGNATURE_BROWSE, signature);
        journal.clear();
        click(page, IDC_SIGN_RUN);
        ASSERT_THAT(boxes(), IsEmpty());
        EXPECT_THAT(journal.lines(), ElementsAre("C_DigestInit -> CKR_OK", "C_Digest -> CKR_OK",
                                                 "C_Digest -> CKR_OK", "C_SignInit -> CKR_OK",
                                                 "C_Sign -> CKR_OK", "C_Sign -> CKR_OK"));

        const PublicKey& key = publicKeys.at(static_cast<std::size_t>(index));
        const token::MechanismPair mechanisms = token::mechanismsFor(key.getAlgorithm());
        EXPECT_TRUE(token.verify(key, crosscheck::readFile(data), crosscheck::readFile(signature),
                                 mechanisms.digest, mechanisms.signature))
            << index;
    }
}

TEST_F(SignVerifyPageTest, OnTheScreenModelTheCheckBoxChoosesTheSigningKind) {
    emulator::State state = demo();
    tokenOf(state).model = "Veltora Lumora 2";
    startLoggedIn(state);
    SignPage page;
    ASSERT_TRUE(page.start(view));
    EXPECT_TRUE(view.control(IDC_SIGN_VISUALIZE).visible);
    const std::string data = file("data");
    crosscheck::writeText(data, "x");
    choose(page, IDC_SIGN_INPUT_BROWSE, data);
    choose(page, IDC_SIGN_SIGNATURE_BROWSE, file("out.sig"));

    journal.clear();
    click(page, IDC_SIGN_RUN);
    view.control(IDC_SIGN_VISUALIZE).check = 1;
    click(page, IDC_SIGN_RUN);
    EXPECT_THAT(boxes(), IsEmpty());
    const std::vector<std::string> lines = journal.lines();
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_THAT(std::vector(lines.begin() + 3, lines.begin() + 6),
                ElementsAre("C_EX_SignInvisibleInit -> CKR_OK", "C_EX_SignInvisible -> CKR_OK",
                            "C_EX_SignInvisible -> CKR_OK"));
    EXPECT_THAT(std::vector(lines.begin() + 9, lines.end()),
                ElementsAre("C_SignInit -> CKR_OK", "C_Sign -> CKR_OK", "C_Sign -> CKR_OK"));
}

TEST_F(SignVerifyPageTest, SignaturesGetTheirVerdicts) {
    Token& token = startLoggedIn();
    VerifyPage page;
    ASSERT_TRUE(page.start(view));
    EXPECT_EQ(view.control(IDC_VERIFY_ALGORITHM).text, u"ГОСТ Р 34.10-2001");
    view.control(IDC_VERIFY_KEY).selection = 1;
    page.command(view, IDC_VERIFY_KEY, 0, 1);

    // A signature by the private key of the pair (2012-256), made by the token directly.
    const KeyList<PrivateKey> privateKeys = token.getPrivateKeys();
    const token::MechanismPair mechanisms = token::mechanismsFor(privateKeys.at(1).getAlgorithm());
    const std::string data = file("data");
    const std::string signature = file("data.sig");
    crosscheck::writeText(data, std::string(2000, 'q'));
    crosscheck::writeFile(signature, token.sign(privateKeys.at(1), crosscheck::readFile(data),
                                                mechanisms.digest, mechanisms.signature));
    choose(page, IDC_VERIFY_INPUT_BROWSE, data);
    choose(page, IDC_VERIFY_SIGNATURE_BROWSE, signature);
    click(page, IDC_VERIFY_RUN);
    EXPECT_THAT(boxes(), ElementsAre("Результат проверки подписи: Подпись достоверна"));

    crosscheck::writeText(data, std::string(1999, 'q') + "r");
    journal.clear();
    click(page, IDC_VERIFY_RUN);
    EXPECT_THAT(boxes(), ElementsAre("Результат проверки подписи: Подпись ошибочна"));
    EXPECT_EQ(journal.lines().back(), "C_Verify -> CKR_SIGNATURE_INVALID");

    // A signature of the wrong length is a failure, not a verdict.
    crosscheck::writeText(signature, "short");
    click(page, IDC_VERIFY_RUN);
    EXPECT_THAT(boxes(), ElementsAre("Ошибка: Некорректная длина подписи"));

    // The signature file is read first.
    crosscheck::writeText(signature, "");
    choose(page, IDC_VERIFY_INPUT_BROWSE, file("missing"));
    click(page, IDC_VERIFY_RUN);
    EXPECT_THAT(boxes(), ElementsAre("Ошибка: Файл нулевой длины"));
}

} // namespace
