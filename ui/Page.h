// A task page: a start function run when the page is first shown and a command function for
// its controls. The common page procedure runs both inside a guard that turns every failure
// into an error box owned by the page.
#pragma once

#include "ui/DialogView.h"

#include <cstdint>
#include <span>

// A button of a page that runs a command of the token, and its rule: enabled exactly when both
// edit boxes hold text and, where a key list is named, a key is chosen in it. The edit boxes
// are asked in order, the key list only when both hold text. Without edit boxes (0): always
// enabled.
struct CommandButton {
    int id;
    int firstEdit;
    int secondEdit;
    int keyList; // 0 for none
};

class Page {
public:
    explicit Page(std::span<const CommandButton> commands) noexcept : commands_(commands) {}
    virtual ~Page() = default;
    // Sets the page up; the result is the dialog's answer to its creation (true).
    virtual bool start(DialogView& view) = 0;
    // A control of the page sent a command with the notification code.
    virtual void command(DialogView& view, int id, std::intptr_t control, int code) = 0;

    // Whether the control is a button that runs a command of the token.
    bool runsCommand(int id) const noexcept;
    // Enables or disables each command button by its rule.
    void updateButtons(DialogView& view) const;

private:
    std::span<const CommandButton> commands_;
};

// Runs the page's start; after a failure, shown in an error box, the answer is false.
bool startPage(Page& page, DialogView& view);
// Runs the page's command; a failure is shown in an error box. Nothing is rolled back. A
// button that runs a command of the token is disabled until the command has ended, and the
// page's button rules are then applied again.
void commandPage(Page& page, DialogView& view, int id, std::intptr_t control, int code);
