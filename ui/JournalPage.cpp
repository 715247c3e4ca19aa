#include "ui/JournalPage.h"

#include "support/FileIo.h"
#include "ui/CurrentToken.h"
#include "ui/LongCall.h"
#include "ui/PageHelpers.h"
#include "ui/resources/Resource.h"

void JournalPage::command(DialogView& view, int id, std::intptr_t, int code) {
    if (code != 0) {
        return;
    }
    if (id == IDC_JOURNAL_BROWSE) {
        browseInto(view, IDC_JOURNAL_OUTPUT,
                   saveFileDialog(view, IDS_FILTER_DATA, kNoDefaultExtension));
    } else if (id == IDC_JOURNAL_RUN) {
        run(view);
    }
}

void JournalPage::run(DialogView& view) {
    const LongCall longCall(view);
    // The journal is fetched before the path is looked at: without a path the token is still
    // asked, and the write then fails.
    const Bytes journal = currentToken().getJournal();
    writeFile(pathFromEdit(view, IDC_JOURNAL_OUTPUT), journal);
}
