// The PIN entry dialog's logic: one login per run, no retry.
#pragma once

#include "ui/DialogView.h"

// OK: reads the PIN (at most 63 characters), logs in and ends the dialog with 1. An empty
// PIN ends it with 2 without calling the token. A failure is shown in an error box owned by
// the dialog, and once the box is dismissed the dialog ends with 2. Every copy of the PIN the
// dialog made is wiped, and the edit box is emptied.
void pinDialogOk(DialogView& view);

// The dialog's commands: OK and Cancel (end with 2); other commands and notifications are
// ignored.
void pinDialogCommand(DialogView& view, int id, int code);
