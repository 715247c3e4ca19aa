#include "ui/Page.h"

#include "ui/ErrorReport.h"

bool startPage(Page& page, DialogView& view) {
    try {
        return page.start(view);
    } catch (const std::exception& error) {
        // Whatever step failed, the buttons follow the page's rule: a page left half set up
        // (no key list, no names) offers no command that would do nothing.
        page.updateButtons(view);
        reportError(view, error);
        return false;
    }
}

void commandPage(Page& page, DialogView& view, int id, std::intptr_t control, int code) {
    try {
        page.command(view, id, control, code);
    } catch (const std::exception& error) {
        reportError(view, error);
    }
}
