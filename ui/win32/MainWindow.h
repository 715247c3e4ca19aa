// The main window: a modeless dialog hosting the six task pages in a tab control, running
// the start-up sequence and owning the shutdown order.
#pragma once

#include <windows.h>

// The private message on which the main window runs the start-up sequence.
inline constexpr UINT WM_STARTUP = WM_USER + 100;

// The main window's dialog procedure (template IDD_MAIN).
INT_PTR CALLBACK mainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The one dialog procedure of every page window: places the page, then forwards to the page
// of the selected tab.
INT_PTR CALLBACK pageDispatcher(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// The PIN entry dialog's procedure (template IDD_PIN_DIALOG).
INT_PTR CALLBACK pinDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Creates the main window hidden, with the program's icon; null when it cannot be created.
HWND createMainWindow(HINSTANCE instance);

// Shows the main window and runs the message loop until the quit message; its exit code.
int runMessageLoop(HINSTANCE instance, HWND mainWindow, int showCommand);
