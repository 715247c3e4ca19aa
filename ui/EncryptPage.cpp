#include "ui/EncryptPage.h"

#include "support/FileIo.h"
#include "ui/CurrentToken.h"
#include "ui/KeyChoice.h"
#include "ui/LongCall.h"
#include "ui/PageHelpers.h"
#include "ui/resources/Resource.h"

namespace {

// The operation is read from the radio buttons at each command, never kept.
bool decrypting(DialogView& view) {
    return view.isRadioChecked(IDC_CRYPT_DECRYPT);
}

} // namespace

bool EncryptPage::start(DialogView& view) {
    view.checkRadio(IDC_CRYPT_ENCRYPT);
    updateButtons(view);
    {
        const LongCall longCall(view);
        keys_ = currentToken().getSecretKeys();
    }
    fillKeyCombo(view, IDC_CRYPT_KEY, keys_, keyBaseName);
    return true;
}

void EncryptPage::command(DialogView& view, int id, std::intptr_t, int code) {
    if (code != 0 && code != 1) {
        return;
    }
    switch (id) {
    case IDC_CRYPT_KEY:
        updateButtons(view);
        break;
    case IDC_CRYPT_INPUT_BROWSE:
        browseInto(view, IDC_CRYPT_INPUT,
                   openFileDialog(view, decrypting(view) ? IDS_FILTER_ENCRYPTED : IDS_FILTER_DATA));
        updateButtons(view);
        break;
    case IDC_CRYPT_OUTPUT_BROWSE:
        browseInto(view, IDC_CRYPT_OUTPUT,
                   decrypting(view)
                       ? saveFileDialog(view, IDS_FILTER_DATA, kNoDefaultExtension)
                       : saveFileDialog(view, IDS_FILTER_ENCRYPTED, IDS_EXT_ENCRYPTED));
        updateButtons(view);
        break;
    case IDC_CRYPT_RUN:
        run(view);
        break;
    default:
        break;
    }
}

void EncryptPage::run(DialogView& view) const {
    const SecretKey* key = selectedKey(view, IDC_CRYPT_KEY, keys_);
    if (key == nullptr) {
        return; // the button is disabled without a key
    }
    const bool decrypt = decrypting(view);

    const LongCall longCall(view);
    const Bytes contents = readInput(view, IDC_CRYPT_INPUT);
    Token& token = currentToken();
    const Bytes result = decrypt ? token.decrypt(*key, contents) : token.encrypt(*key, contents);
    writeFile(pathFromEdit(view, IDC_CRYPT_OUTPUT), result);
}
