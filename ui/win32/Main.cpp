// The workstation's entry point.
#include "token/platform/ModuleLoader.h"
#include "ui/win32/MainWindow.h"

#include <commctrl.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    // The token's module is loaded by its bare name; a file of that name beside an opened
    // document is never run.
    token::platform::keepCurrentFolderOutOfSearch();

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    HWND mainWindow = createMainWindow(instance);
    if (mainWindow == nullptr) {
        return 0;
    }
    return runMessageLoop(instance, mainWindow, showCommand);
}
