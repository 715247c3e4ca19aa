#include "ui/win32/QueuedMessages.h"

namespace {

struct MessageRange {
    UINT first;
    UINT last;
};

// The input messages, by their numbers: the headers name the last of some ranges only for
// newer system versions.
constexpr MessageRange kInput[] = {
    {WM_KEYFIRST, 0x0109},    // to WM_UNICHAR
    {WM_MOUSEFIRST, 0x020E},  // to WM_MOUSEHWHEEL
    {WM_NCMOUSEMOVE, 0x00AD}, // to WM_NCXBUTTONDBLCLK: the caption and its buttons
    {0x0240, 0x024F},         // WM_TOUCH to WM_POINTERHWHEEL
};

} // namespace

void paintNow(HWND window) noexcept {
    RedrawWindow(GetAncestor(window, GA_ROOT), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void discardQueuedInput() noexcept {
    MSG message{};
    // PM_QS_INPUT takes only what came from the input devices, not posted messages.
    for (const MessageRange& range : kInput) {
        while (PeekMessageW(&message, nullptr, range.first, range.last, PM_REMOVE | PM_QS_INPUT) !=
               FALSE) {
        }
    }
}
