#include "ui/win32/DialogKeys.h"

namespace {

// Ctrl+Break arrives as VK_CANCEL, which the dialog manager takes for Escape.
bool isEnterOrEscape(const MSG& message) {
    return message.message == WM_KEYDOWN &&
           (message.wParam == VK_RETURN || message.wParam == VK_ESCAPE ||
            message.wParam == VK_CANCEL);
}

} // namespace

bool handleDialogKeys(HWND mainWindow, MSG& message) {
    if (message.hwnd != mainWindow && IsChild(mainWindow, message.hwnd) == FALSE) {
        return false;
    }
    if (isEnterOrEscape(message)) {
        const auto code = static_cast<UINT>(SendMessageW(
            message.hwnd, WM_GETDLGCODE, message.wParam, reinterpret_cast<LPARAM>(&message)));
        if ((code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) == 0) {
            // A held key repeats its key-down message (bit 30: it was down before): it
            // presses the button once, as a held Space does.
            const bool repeated = (message.lParam & (LPARAM{1} << 30)) != 0;
            if (message.wParam == VK_RETURN && !repeated &&
                (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0 &&
                IsWindowEnabled(message.hwnd) != FALSE) {
                // The click the button itself would report, to the page that holds it.
                SendMessageW(GetParent(message.hwnd), WM_COMMAND,
                             MAKEWPARAM(GetDlgCtrlID(message.hwnd), BN_CLICKED),
                             reinterpret_cast<LPARAM>(message.hwnd));
            }
            return true;
        }
    }
    return IsDialogMessageW(mainWindow, &message) != FALSE;
}
