// The keyboard of the main window and its pages: the dialog navigation of Windows (Tab and
// Shift+Tab through the controls, from the tab row into the page and back, the arrow keys in
// radio groups and on the tab row, Space on a button), but not the dialog's Enter and Escape,
// which would send the main window OK or its close command. Enter presses the focused button
// only, as Space does; Escape does nothing, nor does Ctrl+Break, which the dialog manager
// takes for Escape. A control that takes these keys itself (an open drop-down list) still
// gets them.
#pragma once

#include <windows.h>

// Handles a message of the program's loop as keyboard input of the main window; whether it
// was handled (and must not be dispatched).
bool handleDialogKeys(HWND mainWindow, MSG& message);
