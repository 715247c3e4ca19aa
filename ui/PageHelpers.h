// Helpers shared by the task pages: file dialogs, paths out of edit boxes and the signature
// algorithm caption.
#pragma once

#include "support/Bytes.h"
#include "token/Key.h"
#include "ui/DialogView.h"
#include "ui/FileDialogRequest.h"

#include <string>

// "No default extension" for saveFileDialog.
inline constexpr int kNoDefaultExtension = -1;

// The request for an open (save false) or save dialog with the string-table filter and, for
// saving, default extension: "|" in the filter becomes a zero unit; a string that cannot be
// loaded leaves the filter or the extension out.
FileDialogRequest fileDialogRequest(DialogView& view, unsigned filterId, int defaultExtensionId,
                                    bool save);

// Runs the dialog; the chosen path, or empty when the user cancels or the dialog fails. A path
// too long for the dialog's buffer is refused in an error box.
std::u16string fileDialog(DialogView& view, unsigned filterId, int defaultExtensionId, bool save);
std::u16string openFileDialog(DialogView& view, unsigned filterId);
std::u16string saveFileDialog(DialogView& view, unsigned filterId, int defaultExtensionId);

// Asks for a file with the dialog and puts a chosen path into the edit box; a cancelled
// dialog leaves the edit box as it was.
void browseInto(DialogView& view, int editId, const std::u16string& path);

// The path in an edit box (at most 259 characters), as UTF-8.
std::string pathFromEdit(DialogView& view, int editId);

// The file whose path is in the edit box, read whole as input for the token (see readFile):
// one longer than the token takes in one call is refused from its size, before it is read.
Bytes readInput(DialogView& view, int editId);

// Puts the caption of the key's signature algorithm into the edit box; an algorithm without
// a caption leaves the edit box as it was.
void showSignatureAlgorithm(DialogView& view, const AsymmetricKey& key, int editId);
