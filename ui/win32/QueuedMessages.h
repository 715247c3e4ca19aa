// The messages waiting for the window's thread, around a long call that holds it: the paint
// that waits is done before the call, the input made meanwhile is dropped after it.
#pragma once

#include <windows.h>

// Paints at once what waits to be painted in the window's top-level window and every control
// in it, so that the state shown before the call (a greyed button) is what the user sees.
void paintNow(HWND window) noexcept;

// Removes the keyboard, mouse and touch input waiting in this thread's queue: what the user
// did while the thread was held is dropped rather than acted on afterwards. Messages that
// programs posted (automation, accessibility tools) stay, even in the input ranges.
void discardQueuedInput() noexcept;
