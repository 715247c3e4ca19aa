#include "ui/HashPage.h"

#include "support/FileIo.h"
#include "token/Cryptoki.h"
#include "ui/CurrentToken.h"
#include "ui/LongCall.h"
#include "ui/PageHelpers.h"
#include "ui/resources/Resource.h"

bool HashPage::start(DialogView& view) {
    view.checkRadio(IDC_HASH_GOST94);
    updateButtons(view);
    return true;
}

void HashPage::command(DialogView& view, int id, std::intptr_t, int code) {
    if (code != 0) {
        return;
    }
    switch (id) {
    case IDC_HASH_INPUT_BROWSE:
        browseInto(view, IDC_HASH_INPUT, openFileDialog(view, IDS_FILTER_DATA));
        updateButtons(view);
        break;
    case IDC_HASH_OUTPUT_BROWSE:
        browseInto(view, IDC_HASH_OUTPUT, saveFileDialog(view, IDS_FILTER_DIGEST, IDS_EXT_DIGEST));
        updateButtons(view);
        break;
    case IDC_HASH_RUN:
        run(view);
        break;
    default:
        break;
    }
}

void HashPage::run(DialogView& view) {
    CK_MECHANISM_TYPE mechanism = CKM_GOSTR3411;
    if (view.isRadioChecked(IDC_HASH_GOST12_256)) {
        mechanism = CKM_GOSTR3411_12_256;
    } else if (view.isRadioChecked(IDC_HASH_GOST12_512)) {
        mechanism = CKM_GOSTR3411_12_512;
    }
    const LongCall longCall(view);
    const Bytes digest = currentToken().digest(readInput(view, IDC_HASH_INPUT), mechanism);
    writeFile(pathFromEdit(view, IDC_HASH_OUTPUT), digest);
}
