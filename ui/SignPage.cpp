#include "ui/SignPage.h"

#include "support/FileIo.h"
#include "token/Mechanisms.h"
#include "ui/CurrentToken.h"
#include "ui/KeyChoice.h"
#include "ui/LongCall.h"
#include "ui/PageHelpers.h"
#include "ui/resources/Resource.h"

bool SignPage::start(DialogView& view) {
    {
        const LongCall longCall(view);
        keys_ = currentToken().getPrivateKeys();
    }
    fillKeyCombo(view, IDC_SIGN_KEY, keys_, privateKeyName);
    if (const PrivateKey* key = selectedKey(view, IDC_SIGN_KEY, keys_)) {
        showSignatureAlgorithm(view, *key, IDC_SIGN_ALGORITHM);
    }
    updateButtons(view);
    // Unchecked at creation: on the model with a screen signing is invisible until the user
    // asks to see the data.
    view.show(IDC_SIGN_VISUALIZE, currentToken().hasScreen());
    return true;
}

void SignPage::command(DialogView& view, int id, std::intptr_t, int code) {
    if (code != 0 && code != 1) {
        return;
    }
    switch (id) {
    case IDC_SIGN_KEY:
        keyChanged(view);
        break;
    case IDC_SIGN_INPUT_BROWSE:
        browseInto(view, IDC_SIGN_INPUT, openFileDialog(view, IDS_FILTER_DATA));
        updateButtons(view);
        break;
    case IDC_SIGN_SIGNATURE_BROWSE:
        browseInto(view, IDC_SIGN_SIGNATURE,
                   saveFileDialog(view, IDS_FILTER_SIGNATURE, IDS_EXT_SIGNATURE));
        updateButtons(view);
        break;
    case IDC_SIGN_RUN:
        run(view);
        break;
    default:
        break;
    }
}

void SignPage::keyChanged(DialogView& view) const {
    updateButtons(view);
    if (const PrivateKey* key = selectedKey(view, IDC_SIGN_KEY, keys_)) {
        showSignatureAlgorithm(view, *key, IDC_SIGN_ALGORITHM);
    }
}

void SignPage::run(DialogView& view) const {
    const PrivateKey* key = selectedKey(view, IDC_SIGN_KEY, keys_);
    if (key == nullptr) {
        return; // the button is disabled without a key
    }
    const token::MechanismPair mechanisms = token::mechanismsFor(key->getAlgorithm());
    const bool invisible =
        view.isVisible(IDC_SIGN_VISUALIZE) && view.checkState(IDC_SIGN_VISUALIZE) != 1;

    const LongCall longCall(view);
    const Bytes data = readInput(view, IDC_SIGN_INPUT);
    Token& token = currentToken();
    const Bytes result =
        invisible ? token.signInvisible(*key, data, mechanisms.digest, mechanisms.signature)
                  : token.sign(*key, data, mechanisms.digest, mechanisms.signature);
    writeFile(pathFromEdit(view, IDC_SIGN_SIGNATURE), result);
}
