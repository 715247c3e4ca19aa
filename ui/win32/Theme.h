// The themed background of the pages, from UxTheme loaded at run time out of the system
// folder only: the program imports no DLL that Windows would look for beside it first.
#pragma once

#include <windows.h>

// Gives the page the tab control's themed background; without UxTheme (or its function) the
// page keeps the plain dialog background.
void enableTabPageTexture(HWND page);
