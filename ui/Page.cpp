#include "ui/Page.h"

#include "ui/ErrorReport.h"

#include <algorithm>

bool Page::runsCommand(int id) const noexcept {
    return std::ranges::any_of(commands_,
                               [id](const CommandButton& button) { return button.id == id; });
}

void Page::updateButtons(DialogView& view) const {
    for (const CommandButton& button : commands_) {
        const bool enabled =
            button.firstEdit == 0 ||
            (view.textLength(button.firstEdit) != 0 && view.textLength(button.secondEdit) != 0 &&
             (button.keyList == 0 || view.comboSelection(button.keyList) >= 0));
        view.enable(button.id, enabled);
    }
}

bool startPage(Page& page, DialogView& view) {
    try {
        return page.start(view);
    } catch (const std::exception& error) {
        // Whatever step failed, the buttons follow the page's rules: a page left half set up
        // (no key list, no names) offers no command that would do nothing.
        page.updateButtons(view);
        reportError(view, error);
        return false;
    }
}

namespace {

template <typename Step>
void guarded(DialogView& view, Step&& step) {
    try {
        step();
    } catch (const std::exception& error) {
        reportError(view, error);
    }
}

} // namespace

void commandPage(Page& page, DialogView& view, int id, std::intptr_t control, int code) {
    if (!page.runsCommand(id)) {
        guarded(view, [&] { page.command(view, id, control, code); });
        return;
    }
    // Greyed while the token works (the command paints the window before its long call), so
    // that the holder sees that a second click would do nothing; the clicks made meanwhile
    // are dropped when the long call ends.
    view.enable(id, false);
    guarded(view, [&] { page.command(view, id, control, code); });
    guarded(view, [&] { page.updateButtons(view); });
}
