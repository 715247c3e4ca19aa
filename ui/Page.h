// A task page: a start function run when the page is first shown and a command function for
// its controls. The common page procedure runs both inside a guard that turns every failure
// into an error box owned by the page.
#pragma once

#include "ui/DialogView.h"

#include <cstdint>

class Page {
public:
    virtual ~Page() = default;
    // Sets the page up; the result is the dialog's answer to its creation (true).
    virtual bool start(DialogView& view) = 0;
    // A control of the page sent a command with the notification code.
    virtual void command(DialogView& view, int id, std::intptr_t control, int code) = 0;
    // Whether the control is a button that runs a command of the token.
    virtual bool runsCommand(int id) const = 0;
    // Enables or disables the page's command buttons by the page's rule; a page without a rule
    // enables them.
    virtual void updateButtons(DialogView& view) = 0;
};

// Runs the page's start; after a failure, shown in an error box, the answer is false.
bool startPage(Page& page, DialogView& view);
// Runs the page's command; a failure is shown in an error box. Nothing is rolled back. A
// button that runs a command of the token is disabled until the command has ended, and the
// page's button rule is then applied again.
void commandPage(Page& page, DialogView& view, int id, std::intptr_t control, int code);
