// The journal page: saves the token's own journal to a file.
#pragma once

#include "ui/Page.h"

class JournalPage : public Page {
public:
    bool start(DialogView&) override { return true; }
    void command(DialogView& view, int id, std::intptr_t control, int code) override;

private:
    static void run(DialogView& view);
};
