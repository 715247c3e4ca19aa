// The PIN change page: a new user PIN typed twice; on the model with a screen, a new PIN2
// entered on the token's own screen.
#pragma once

#include "ui/Page.h"

class PinChangePage : public Page {
public:
    bool start(DialogView& view) override;
    void command(DialogView& view, int id, std::intptr_t control, int code) override;
    bool runsCommand(int id) const override;
    void updateButtons(DialogView& view) override;

private:
    static void changeUserPin(DialogView& view);
    static void changePin2(DialogView& view);
};
