// The hashing page: the token's digest of a file, written raw to another file.
#pragma once

#include "ui/Page.h"

class HashPage : public Page {
public:
    bool start(DialogView& view) override;
    void command(DialogView& view, int id, std::intptr_t control, int code) override;
    bool runsCommand(int id) const override;
    void updateButtons(DialogView& view) override;

private:
    static void run(DialogView& view);
};
