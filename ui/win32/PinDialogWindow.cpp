#include "ui/PinDialog.h"
#include "ui/win32/MainWindow.h"
#include "ui/win32/Win32DialogView.h"

INT_PTR CALLBACK pinDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        // The focus goes to the first tab-stop control, the PIN edit.
        return TRUE;
    case WM_COMMAND: {
        Win32DialogView view(dialog);
        pinDialogCommand(view, LOWORD(wParam), HIWORD(wParam));
        return FALSE;
    }
    default:
        return FALSE;
    }
}
