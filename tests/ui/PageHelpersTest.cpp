// File dialog requests, the action button rules and the page guard.
#include "ui/PageHelpers.h"

#include "MemoryDialogView.h"
#include "token/Exception.h"
#include "ui/EncryptPage.h"
#include "ui/HashPage.h"
#include "ui/Page.h"
#include "ui/SignPage.h"
#include "ui/VerifyPage.h"
#include "ui/resources/Resource.h"

#include <gtest/gtest.h>
#include <utf8.h>

namespace {

std::u16string filterOf(const char16_t* pairs, std::size_t length) {
    std::u16string filter(pairs, length);
    filter.resize(FileDialogRequest::kFilterCapacity, u'\0');
    return filter;
}

TEST(FileDialogTest, RequestsCarryFilterFlagsAndDefaultExtension) {
    MemoryDialogView view;

    const FileDialogRequest data =
        fileDialogRequest(view, IDS_FILTER_DATA, kNoDefaultExtension, false);
    // One entry: the whole text as description, an empty pattern.
    constexpr char16_t kData[] = u"Microsoft Office Files";
    EXPECT_EQ(data.filter, filterOf(kData, std::size(kData) - 1));
    EXPECT_EQ(data.filterIndex, 1u);
    EXPECT_EQ(data.flags, 0x1801u) << "read-only inputs are chosen";
    EXPECT_EQ(data.file, std::u16string(260, u'\0'));
    EXPECT_EQ(data.maxFile, 260u);
    EXPECT_TRUE(data.defaultExtension.empty());

    const FileDialogRequest signature =
        fileDialogRequest(view, IDS_FILTER_SIGNATURE, IDS_EXT_SIGNATURE, true);
    constexpr char16_t kSignature[] = u"Файл подписи (*.sig)\0*.sig";
    EXPECT_EQ(signature.filter, filterOf(kSignature, std::size(kSignature) - 1));
    EXPECT_EQ(signature.flags, 0x8002u);
    EXPECT_EQ(signature.defaultExtension, u"sig");

    // An open dialog never takes a default extension.
    EXPECT_TRUE(fileDialogRequest(view, IDS_FILTER_ENCRYPTED, IDS_EXT_ENCRYPTED, false)
                    .defaultExtension.empty());
}

TEST(FileDialogTest, StringsThatCannotBeLoadedLeaveFilterAndExtensionOut) {
    MemoryDialogView view;
    view.strings().clear();
    const FileDialogRequest request =
        fileDialogRequest(view, IDS_FILTER_DIGEST, IDS_EXT_DIGEST, true);
    EXPECT_TRUE(request.filter.empty());
    EXPECT_EQ(request.filterIndex, 0u);
    EXPECT_TRUE(request.defaultExtension.empty());
}

TEST(FileDialogTest, ChosenPathIsReturnedCancelAndATooLongPathGiveNothing) {
    MemoryDialogView view;
    view.answerFileDialog(u"C:\\Документы\\отчёт.sig");
    view.answerFileDialog(std::nullopt);
    view.answerFileDialog(u"C:\\" + std::u16string(257, u'д')); // one unit more than fits
    EXPECT_EQ(saveFileDialog(view, IDS_FILTER_SIGNATURE, IDS_EXT_SIGNATURE),
              u"C:\\Документы\\отчёт.sig");
    EXPECT_EQ(openFileDialog(view, IDS_FILTER_DATA), u"");
    EXPECT_TRUE(view.messageBoxes().empty()) << "cancelling is no error";

    EXPECT_EQ(openFileDialog(view, IDS_FILTER_DATA), u"");
    ASSERT_EQ(view.messageBoxes().size(), 1u);
    EXPECT_EQ(view.messageBoxes()[0].caption, u"Ошибка");
    EXPECT_EQ(view.messageBoxes()[0].text, u"Путь к файлу слишком длинный");
}

TEST(ButtonRuleTest, KeyPagesNeedBothPathsAndASelectedKey) {
    MemoryDialogView view;
    SignPage signing;
    view.control(IDC_SIGN_INPUT).text = u"in";
    signing.updateButtons(view);
    EXPECT_FALSE(view.control(IDC_SIGN_RUN).enabled);

    view.control(IDC_SIGN_SIGNATURE).text = u"out";
    signing.updateButtons(view); // no key in the list
    EXPECT_FALSE(view.control(IDC_SIGN_RUN).enabled);

    view.control(IDC_SIGN_KEY).selection = 0;
    signing.updateButtons(view);
    EXPECT_TRUE(view.control(IDC_SIGN_RUN).enabled);
    EXPECT_TRUE(signing.runsCommand(IDC_SIGN_RUN));
    EXPECT_FALSE(signing.runsCommand(IDC_SIGN_INPUT_BROWSE));

    // The encryption and verification rules read their own controls.
    view.control(IDC_CRYPT_INPUT).text = u"in";
    view.control(IDC_CRYPT_OUTPUT).text = u"out";
    EncryptPage().updateButtons(view);
    EXPECT_FALSE(view.control(IDC_CRYPT_RUN).enabled);
    view.control(IDC_VERIFY_INPUT).text = u"in";
    view.control(IDC_VERIFY_SIGNATURE).text = u"sig";
    view.control(IDC_VERIFY_KEY).selection = 2;
    VerifyPage().updateButtons(view);
    EXPECT_TRUE(view.control(IDC_VERIFY_RUN).enabled);
}

TEST(ButtonRuleTest, HashingStartsDisabledWithTheFirstAlgorithmChecked) {
    MemoryDialogView view;
    HashPage hashing;
    EXPECT_TRUE(hashing.start(view));
    EXPECT_FALSE(view.control(IDC_HASH_RUN).enabled);
    EXPECT_EQ(view.control(IDC_HASH_GOST94).check, 1);
    view.control(IDC_HASH_INPUT).text = u"in";
    view.control(IDC_HASH_OUTPUT).text = u"out";
    hashing.updateButtons(view);
    EXPECT_TRUE(view.control(IDC_HASH_RUN).enabled);
}

class ThrowingPage : public Page {
public:
    explicit ThrowingPage(std::function<void()> failure) : Page({}), failure_(std::move(failure)) {}
    bool start(DialogView&) override { return true; }
    void command(DialogView&, int, std::intptr_t, int) override { failure_(); }

private:
    std::function<void()> failure_;
};

TEST(PageGuardTest, OwnFailuresShowTheirRussianTextOthersTheirOwn) {
    MemoryDialogView view;
    ThrowingPage pkcs11([] { throw Pkcs11Exception(CKR_PIN_INCORRECT); });
    commandPage(pkcs11, view, 1, 0, 0);
    ThrowingPage conversion([] {
        const std::u16string unpaired(1, char16_t(0xD800));
        std::string narrow;
        utf8::utf16to8(unpaired.begin(), unpaired.end(), std::back_inserter(narrow));
    });
    commandPage(conversion, view, 1, 0, 0);

    ASSERT_EQ(view.messageBoxes().size(), 2u);
    EXPECT_EQ(view.messageBoxes()[0].text, u"Неправильный PIN-код");
    EXPECT_EQ(view.messageBoxes()[0].caption, u"Ошибка");
    EXPECT_EQ(view.messageBoxes()[1].text, u"Invalid UTF-16");
}

} // namespace
