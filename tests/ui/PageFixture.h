// Pages against the software token with an in-memory view: files in a scratch folder chosen
// through the scripted file dialogs, commands run through the page guard.
#pragma once

#include "EmulatorFixture.h"
#include "MemoryDialogView.h"
#include "support/TextConversion.h"
#include "tests/gost/OpenSsl.h"
#include "ui/Page.h"

#include <string>

class PageTest : public EmulatorTest {
protected:
    std::string file(const std::string& name) const { return folder.file(name); }

    // Answers the dialog that the browse button opens with the path.
    void choose(Page& page, int browseId, const std::string& path) {
        view.answerFileDialog(utf8ToWide(path));
        page.command(view, browseId, 0, 0);
    }
    void click(Page& page, int id) { commandPage(page, view, id, 0, 0); }

    // The texts of the message boxes shown since the last call, as UTF-8.
    std::vector<std::string> boxes() {
        std::vector<std::string> texts;
        for (std::size_t i = seenBoxes_; i < view.messageBoxes().size(); ++i) {
            texts.push_back(wideToUtf8(view.messageBoxes()[i].caption) + ": " +
                            wideToUtf8(view.messageBoxes()[i].text));
        }
        seenBoxes_ = view.messageBoxes().size();
        return texts;
    }

    crosscheck::ScratchFolder folder;
    MemoryDialogView view;

private:
    std::size_t seenBoxes_ = 0;
};
