// The journal page: saves the token's own journal to a file.
#pragma once

#include "ui/Page.h"
#include "ui/resources/Resource.h"

class JournalPage : public Page {
public:
    bool start(DialogView&) override { return true; }
    void command(DialogView& view, int id, std::intptr_t control, int code) override;
    bool runsCommand(int id) const override { return id == IDC_JOURNAL_RUN; }
    void updateButtons(DialogView& view) override { view.enable(IDC_JOURNAL_RUN, true); }

private:
    static void run(DialogView& view);
};
