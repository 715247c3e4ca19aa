// The workstation's entry point.
#include "ui/win32/MainWindow.h"

#include <commctrl.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    // The token's module is loaded by its bare name. Taking the current folder out of the
    // search path means a file of that name beside an opened document is never run; the
    // program's folder, the system folders and PATH still find the real module. Naming a
    // folder takes the current one out on Windows and on Wine alike (Wine keeps it for an
    // empty name); the system folder is searched anyway, so naming it adds nothing.
    wchar_t systemFolder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(systemFolder, MAX_PATH);
    SetDllDirectoryW(length > 0 && length < MAX_PATH ? systemFolder : L"");

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    HWND mainWindow = createMainWindow(instance);
    if (mainWindow == nullptr) {
        return 0;
    }
    return runMessageLoop(instance, mainWindow, showCommand);
}
