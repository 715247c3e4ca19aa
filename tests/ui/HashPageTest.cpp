// The hashing page end to end: files chosen through the dialogs, the token's digest written
// to the file as the token returned it.
#include "ui/HashPage.h"

#include "EmulatorFixture.h"
#include "MemoryDialogView.h"
#include "support/TextConversion.h"
#include "tests/gost/OpenSsl.h"
#include "ui/resources/Resource.h"

#include <filesystem>
#include <gmock/gmock.h>

using testing::ElementsAre;

namespace {

class HashPageTest : public EmulatorTest {
protected:
    void SetUp() override {
        EmulatorTest::SetUp();
        startLoggedIn();
        ASSERT_TRUE(page.start(view));
    }

    // Chooses both files through the page's Browse buttons.
    void choose(const std::string& input, const std::string& output) {
        view.answerFileDialog(utf8ToWide(input));
        page.command(view, IDC_HASH_INPUT_BROWSE, 0, 0);
        view.answerFileDialog(utf8ToWide(output));
        page.command(view, IDC_HASH_OUTPUT_BROWSE, 0, 0);
    }

    crosscheck::ScratchFolder folder;
    MemoryDialogView view;
    HashPage page;
};

TEST_F(HashPageTest, DigestFilesHoldTheTokensDigestOfTheCheckedAlgorithm) {
    const std::string input = folder.file("data.txt");
    crosscheck::writeText(input, std::string(3000, 'x') + "конец\n");
    const struct {
        int radio;
        CK_MECHANISM_TYPE mechanism;
    } algorithms[] = {{IDC_HASH_GOST94, CKM_GOSTR3411},
                      {IDC_HASH_GOST12_256, CKM_GOSTR3411_12_256},
                      {IDC_HASH_GOST12_512, CKM_GOSTR3411_12_512}};
    for (const auto& algorithm : algorithms) {
        const std::string output = folder.file(std::to_string(algorithm.radio) + ".dig");
        choose(input, output);
        EXPECT_TRUE(view.control(IDC_HASH_RUN).enabled);
        for (const int radio : {IDC_HASH_GOST94, IDC_HASH_GOST12_256, IDC_HASH_GOST12_512}) {
            view.control(radio).check = radio == algorithm.radio ? 1 : 0;
        }
        journal.clear();
        commandPage(page, view, IDC_HASH_RUN, 0, 0);
        ASSERT_TRUE(view.messageBoxes().empty()) << wideToUtf8(view.messageBoxes()[0].text);
        EXPECT_THAT(journal.lines(), ElementsAre("C_DigestInit -> CKR_OK", "C_Digest -> CKR_OK",
                                                 "C_Digest -> CKR_OK"));
        EXPECT_EQ(crosscheck::readFile(output),
                  Token::instance()->digest(crosscheck::readFile(input), algorithm.mechanism))
            << algorithm.radio;
    }
    EXPECT_EQ(view.waitCursorsShown(), 3);
    EXPECT_EQ(view.waitDepth(), 0);
}

TEST_F(HashPageTest, AnEmptyInputIsReportedAndWritesNothing) {
    const std::string input = folder.file("empty");
    crosscheck::writeText(input, "");
    const std::string output = folder.file("out.dig");
    choose(input, output);
    commandPage(page, view, IDC_HASH_RUN, 0, 0);
    ASSERT_EQ(view.messageBoxes().size(), 1u);
    EXPECT_EQ(view.messageBoxes()[0].text, u"Файл нулевой длины");
    EXPECT_FALSE(std::filesystem::exists(output));
    EXPECT_TRUE(journal.lines().empty());
}

TEST_F(HashPageTest, ACancelledDialogKeepsThePathAndReappliesTheRule) {
    view.answerFileDialog(u"C:\\in");
    page.command(view, IDC_HASH_INPUT_BROWSE, 0, 0);
    view.control(IDC_HASH_RUN).enabled = true;
    view.answerFileDialog(std::nullopt);
    page.command(view, IDC_HASH_INPUT_BROWSE, 0, 0);
    EXPECT_EQ(view.control(IDC_HASH_INPUT).text, u"C:\\in");
    EXPECT_FALSE(view.control(IDC_HASH_RUN).enabled);

    // The digest file dialog asks for the digest filter and extension; its path is taken as
    // the dialog returns it.
    view.answerFileDialog(u"C:\\out.dig");
    page.command(view, IDC_HASH_OUTPUT_BROWSE, 0, 0);
    EXPECT_EQ(view.fileDialogs().back().defaultExtension, u"dig");
    EXPECT_EQ(view.control(IDC_HASH_OUTPUT).text, u"C:\\out.dig");
    EXPECT_TRUE(view.control(IDC_HASH_RUN).enabled);
}

} // namespace
