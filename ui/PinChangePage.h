// The PIN change page: a new user PIN typed twice; on the model with a screen, a new PIN2
// entered on the token's own screen.
#pragma once

#include "ui/Page.h"
#include "ui/resources/Resource.h"

class PinChangePage : public Page {
public:
    PinChangePage() noexcept : Page(kCommands) {}
    bool start(DialogView& view) override;
    void command(DialogView& view, int id, std::intptr_t control, int code) override;

private:
    static void changeUserPin(DialogView& view);
    static void changePin2(DialogView& view);
    // The user PIN's change and PIN2's, always enabled.
    static constexpr CommandButton kCommands[] = {
        {IDC_PINCHANGE_RUN, 0, 0, 0},
        {IDC_PINCHANGE_PIN2_RUN, 0, 0, 0},
    };
};
