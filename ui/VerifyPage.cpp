#include "ui/VerifyPage.h"

#include "support/FileIo.h"
#include "token/Mechanisms.h"
#include "ui/CurrentToken.h"
#include "ui/KeyChoice.h"
#include "ui/LongCall.h"
#include "ui/PageHelpers.h"
#include "ui/resources/Resource.h"

bool VerifyPage::start(DialogView& view) {
    {
        const LongCall longCall(view);
        keys_ = currentToken().getPublicKeys();
    }
    fillKeyCombo(view, IDC_VERIFY_KEY, keys_, asymmetricKeyName);
    if (const PublicKey* key = selectedKey(view, IDC_VERIFY_KEY, keys_)) {
        showSignatureAlgorithm(view, *key, IDC_VERIFY_ALGORITHM);
    }
    updateButtons(view);
    return true;
}

void VerifyPage::command(DialogView& view, int id, std::intptr_t, int code) {
    if (code != 0 && code != 1) {
        return;
    }
    switch (id) {
    case IDC_VERIFY_KEY:
        keyChanged(view);
        break;
    case IDC_VERIFY_INPUT_BROWSE:
        browseInto(view, IDC_VERIFY_INPUT, openFileDialog(view, IDS_FILTER_DATA));
        updateButtons(view);
        break;
    case IDC_VERIFY_SIGNATURE_BROWSE:
        browseInto(view, IDC_VERIFY_SIGNATURE, openFileDialog(view, IDS_FILTER_SIGNATURE));
        updateButtons(view);
        break;
    case IDC_VERIFY_RUN:
        run(view);
        break;
    default:
        break;
    }
}

void VerifyPage::keyChanged(DialogView& view) const {
    updateButtons(view);
    if (const PublicKey* key = selectedKey(view, IDC_VERIFY_KEY, keys_)) {
        showSignatureAlgorithm(view, *key, IDC_VERIFY_ALGORITHM);
    }
}

void VerifyPage::run(DialogView& view) const {
    const PublicKey* key = selectedKey(view, IDC_VERIFY_KEY, keys_);
    if (key == nullptr) {
        return; // the button is disabled without a key
    }
    const token::MechanismPair mechanisms = token::mechanismsFor(key->getAlgorithm());

    bool valid = false;
    {
        const LongCall longCall(view);
        // The signature file is read first: an empty one is reported whatever the data file.
        const Bytes signature = readInput(view, IDC_VERIFY_SIGNATURE);
        const Bytes data = readInput(view, IDC_VERIFY_INPUT);
        valid =
            currentToken().verify(*key, data, signature, mechanisms.digest, mechanisms.signature);
    }
    view.messageBox(valid ? u"Подпись достоверна" : u"Подпись ошибочна",
                    u"Результат проверки подписи");
}
