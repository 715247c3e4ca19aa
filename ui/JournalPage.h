// The journal page: saves the token's own journal to a file.
#pragma once

#include "ui/Page.h"
#include "ui/resources/Resource.h"

class JournalPage : public Page {
public:
    JournalPage() noexcept : Page(kCommands) {}
    bool start(DialogView&) override { return true; }
    void command(DialogView& view, int id, std::intptr_t control, int code) override;

private:
    static void run(DialogView& view);
    // "Сохранить", always enabled: without a path the journal is still read, and the write fails.
    static constexpr CommandButton kCommands[] = {
        {IDC_JOURNAL_RUN, 0, 0, 0},
    };
};
