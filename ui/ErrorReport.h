// The one way a failure reaches the user: an error box over the window that caught it.
#pragma once

#include "ui/DialogView.h"

#include <exception>
#include <string>

// The system's own failures show their Russian message; any other failure its own text.
std::u16string errorText(const std::exception& error);

// An error box captioned "Ошибка" with the failure's text, owned by the view's window.
void reportError(DialogView& view, const std::exception& error);
