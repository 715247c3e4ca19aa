// Module answers: one whole session of the workstation against the fuzzing module, which takes
// every answer from the input. The shell starts (binding, token information and identity, the
// PIN dialog's login), every page starts with its key list, and every command runs once as
// the holder would run it (hashing, signing shown and unshown, verification, encryption,
// decryption, a PIN change, PIN2, the journal), then as many more as the input asks for, and
// the shell shuts down. The pages work on in-memory views and files in a scratch folder.
//
// The workstation's own failures are the expected outcomes of broken answers. Findings, besides
// what the sanitizers and libFuzzer's limits catch and what the module finds against the
// interface's rules: a failure of any other kind shown to the user, and a command button left
// enabled with nothing it can act on.
#include "FuzzInput.h"
#include "FuzzingModule.h"
#include "MemoryDialogView.h"
#include "MemoryShellView.h"
#include "ScratchFolder.h"
#include "support/FileIo.h"
#include "support/TextConversion.h"
#include "token/Exception.h"
#include "token/Pkcs11Module.h"
#include "token/platform/ModuleLoader.h"
#include "ui/EncryptPage.h"
#include "ui/HashPage.h"
#include "ui/JournalPage.h"
#include "ui/PinChangePage.h"
#include "ui/PinDialog.h"
#include "ui/Shell.h"
#include "ui/SignPage.h"
#include "ui/VerifyPage.h"
#include "ui/resources/Resource.h"

#include <algorithm>
#include <exception>
#include <initializer_list>
#include <stdexcept>
#include <typeinfo>

namespace {

struct FuzzingModule {
    FuzzModuleAnswerWith answerWith;
    FuzzModuleChoice choice;
};

// Loaded once and kept loaded: the workstation's own loads and unloads then only count.
const FuzzingModule& fuzzingModule() {
    static const FuzzingModule module = [] {
        token::platform::LibraryHandle library =
            token::platform::loadLibrary(token::platform::moduleFileName());
        if (library == nullptr) {
            finding("the fuzzing module is not on the search path");
        }
        const FuzzingModule found{reinterpret_cast<FuzzModuleAnswerWith>(
                                      token::platform::findSymbol(library, kFuzzModuleAnswerWith)),
                                  reinterpret_cast<FuzzModuleChoice>(
                                      token::platform::findSymbol(library, kFuzzModuleChoice))};
        if (found.answerWith == nullptr || found.choice == nullptr) {
            finding("the module on the search path is not the fuzzing module");
        }
        return found;
    }();
    return module;
}

// The workstation's own failures, and the plain runtime errors of its loader and log.
void requireOwn(const std::exception& error) {
    if (dynamic_cast<const Exception*>(&error) == nullptr &&
        typeid(error) != typeid(std::runtime_error) && typeid(error) != typeid(ModuleLoadError)) {
        finding("a foreign failure reached the user", error.what());
    }
}

// A page's or dialog's view whose error boxes must show the workstation's own failures.
class CheckedView : public MemoryDialogView {
public:
    void messageBox(std::u16string_view text, std::u16string_view caption) override {
        // An error box is shown while its failure is handled.
        if (const std::exception_ptr failure = std::current_exception()) {
            try {
                std::rethrow_exception(failure);
            } catch (const std::exception& error) {
                requireOwn(error);
            } catch (...) {
                finding("a failure that is no exception reached the user");
            }
        }
        MemoryDialogView::messageBox(text, caption);
    }
};

class CheckedShell : public MemoryShellView {
public:
    void reportError(const std::exception& error) override {
        requireOwn(error);
        MemoryShellView::reportError(error);
    }
};

// A page with its view, and the controls its command needs: 0 for none.
struct PageUnderTest {
    Page& page;
    CheckedView& view;
    int run;
    int input;
    int output;
    int key;
};

void requireButtonHasWork(const PageUnderTest& under) {
    CheckedView& view = under.view;
    if (under.run == 0 || !view.control(under.run).enabled) {
        return;
    }
    const bool paths =
        !view.control(under.input).text.empty() && !view.control(under.output).text.empty();
    const MemoryDialogView::Control& combo = view.control(under.key);
    const bool key =
        under.key == 0 ||
        (combo.selection >= 0 && static_cast<std::size_t>(combo.selection) < combo.items.size());
    if (!paths || !key) {
        finding("a command button enabled with nothing it can act on");
    }
}

void selectRadio(CheckedView& view, std::initializer_list<int> group, std::size_t chosen) {
    std::size_t index = 0;
    for (const int id : group) {
        view.control(id).check = index++ == chosen % group.size() ? 1 : 0;
    }
}

class Session {
public:
    Session(const ScratchFolder& folder, FuzzModuleChoice choice)
        : folder_(folder), choice_(choice) {}

    void run() {
        CheckedShell shell;
        ShellState state;
        shell.pinDialog = [] {
            CheckedView dialog;
            dialog.setText(IDC_PIN_EDIT, u"12345678");
            pinDialogOk(dialog);
            return dialog.dialogResult().value_or(0);
        };
        runStartup(shell, state);
        if (std::ranges::find(shell.events, "close") == shell.events.end()) {
            startPages();
            for (int step = 0; step < kSteps; ++step) {
                perform(step);
            }
            // More commands, in the order the input asks for them.
            for (int more = 0; more < 16; ++more) {
                const std::uint8_t step = choice_();
                if (step == 0) {
                    break;
                }
                perform(step % kSteps);
            }
        }
        shutdown(shell, state);
    }

private:
    static constexpr int kSteps = 9;

    void startPages() {
        // Hidden by the page's template; the page shows them for the model with a screen.
        for (const int id :
             {IDC_PINCHANGE_PIN2_GROUP, IDC_PINCHANGE_PIN2_TEXT, IDC_PINCHANGE_PIN2_RUN}) {
            pinChangeView_.show(id, false);
        }
        for (const PageUnderTest& under : pages_) {
            startPage(under.page, under.view);
        }
        const std::string data = folder_.file("data");
        browse(hash_, hashView_, IDC_HASH_INPUT_BROWSE, data);
        browse(hash_, hashView_, IDC_HASH_OUTPUT_BROWSE, folder_.file("digest"));
        browse(sign_, signView_, IDC_SIGN_INPUT_BROWSE, data);
        browse(sign_, signView_, IDC_SIGN_SIGNATURE_BROWSE, folder_.file("signature.out"));
        browse(verify_, verifyView_, IDC_VERIFY_INPUT_BROWSE, data);
        browse(verify_, verifyView_, IDC_VERIFY_SIGNATURE_BROWSE, folder_.file("signature"));
        browse(encrypt_, encryptView_, IDC_CRYPT_INPUT_BROWSE, data);
        browse(encrypt_, encryptView_, IDC_CRYPT_OUTPUT_BROWSE, folder_.file("cipher"));
        browse(journal_, journalView_, IDC_JOURNAL_BROWSE, folder_.file("journal"));
        requireButtonsHaveWork();
    }

    void perform(int step) {
        switch (step) {
        case 0:
            selectRadio(hashView_, {IDC_HASH_GOST94, IDC_HASH_GOST12_256, IDC_HASH_GOST12_512},
                        choice_());
            click(pages_[0]);
            break;
        case 1:
        case 2:
            pickKey(pages_[1]);
            signView_.control(IDC_SIGN_VISUALIZE).check = step == 1 ? 1 : 0;
            click(pages_[1]);
            break;
        case 3:
            pickKey(pages_[2]);
            click(pages_[2]);
            break;
        case 4:
        case 5:
            pickKey(pages_[3]);
            selectRadio(encryptView_, {IDC_CRYPT_ENCRYPT, IDC_CRYPT_DECRYPT}, step - 4);
            click(pages_[3]);
            break;
        case 6:
            pinChangeView_.setText(IDC_PINCHANGE_NEW, u"87654321");
            pinChangeView_.setText(IDC_PINCHANGE_CONFIRM, u"87654321");
            commandPage(pinChange_, pinChangeView_, IDC_PINCHANGE_RUN, 0, 0);
            break;
        case 7:
            if (pinChangeView_.isVisible(IDC_PINCHANGE_PIN2_RUN)) {
                commandPage(pinChange_, pinChangeView_, IDC_PINCHANGE_PIN2_RUN, 0, 0);
            }
            break;
        default:
            commandPage(journal_, journalView_, IDC_JOURNAL_RUN, 0, 0);
            break;
        }
        requireButtonsHaveWork();
    }

    static void browse(Page& page, CheckedView& view, int browseId, const std::string& path) {
        view.answerFileDialog(utf8ToWide(path));
        commandPage(page, view, browseId, 0, 0);
    }

    // The holder picks a key from the list (CBN_SELCHANGE), if it has any.
    void pickKey(const PageUnderTest& under) {
        const std::size_t count = under.view.control(under.key).items.size();
        if (count > 0) {
            under.view.setComboSelection(under.key, static_cast<int>(choice_() % count));
            commandPage(under.page, under.view, under.key, 0, 1);
        }
    }

    // A click reaches a button only while it is enabled.
    static void click(const PageUnderTest& under) {
        if (under.view.control(under.run).enabled) {
            commandPage(under.page, under.view, under.run, 0, 0);
        }
    }

    void requireButtonsHaveWork() {
        for (const PageUnderTest& under : pages_) {
            requireButtonHasWork(under);
        }
    }

    const ScratchFolder& folder_;
    FuzzModuleChoice choice_;
    HashPage hash_;
    SignPage sign_;
    VerifyPage verify_;
    EncryptPage encrypt_;
    PinChangePage pinChange_;
    JournalPage journal_;
    CheckedView hashView_, signView_, verifyView_, encryptView_, pinChangeView_, journalView_;
    const PageUnderTest pages_[6] = {
        {hash_, hashView_, IDC_HASH_RUN, IDC_HASH_INPUT, IDC_HASH_OUTPUT, 0},
        {sign_, signView_, IDC_SIGN_RUN, IDC_SIGN_INPUT, IDC_SIGN_SIGNATURE, IDC_SIGN_KEY},
        {verify_, verifyView_, IDC_VERIFY_RUN, IDC_VERIFY_INPUT, IDC_VERIFY_SIGNATURE,
         IDC_VERIFY_KEY},
        {encrypt_, encryptView_, IDC_CRYPT_RUN, IDC_CRYPT_INPUT, IDC_CRYPT_OUTPUT, IDC_CRYPT_KEY},
        {pinChange_, pinChangeView_, 0, 0, 0, 0},
        {journal_, journalView_, 0, 0, 0, 0},
    };
};

// The files the pages read: the data, and a signature of a 256-bit key's length.
struct PageFiles {
    ScratchFolder folder{"fuzz-module-answers"};
    PageFiles() {
        writeFile(folder.file("data"), Bytes{'f', 'u', 'z', 'z', '\n'});
        writeFile(folder.file("signature"), Bytes(64, 0x5A));
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const FuzzingModule& module = fuzzingModule();
    module.answerWith(data, size);
    static const PageFiles files;
    Session(files.folder, module.choice).run();
    return 0;
}
