// The window operations that the dialogs' and pages' logic needs, addressed by control
// identifier, so that the logic runs against the real window system or an in-memory model.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class WindowTextBuffer;
struct FileDialogRequest;
enum class FileDialogResult;

class DialogView {
public:
    virtual ~DialogView() = default;

    // Characters in the control's text; 0 when empty.
    virtual std::size_t textLength(int id) = 0;
    // Copies at most capacity - 1 units of the control's text and a terminating zero.
    virtual void readText(int id, WindowTextBuffer& buffer) = 0;
    virtual void setText(int id, std::u16string_view text) = 0;
    virtual void enable(int id, bool enabled) = 0;

    virtual void checkRadio(int id) = 0;
    virtual bool isRadioChecked(int id) = 0;
    // The check box's state as the button reports it: 0 clear, 1 checked, 2 indeterminate.
    virtual int checkState(int id) = 0;

    virtual bool isVisible(int id) = 0;
    virtual void show(int id, bool shown) = 0;

    // Combo boxes: items are appended in order; a selection index of -1 means none.
    virtual void addComboItem(int id, std::u16string_view text) = 0;
    virtual void setComboSelection(int id, int index) = 0;
    virtual int comboSelection(int id) = 0;
    // Widens the drop-down list to its widest item (see dropDownWidth).
    virtual void fitDropDownWidth(int id) = 0;

    // A string of the program's string table; empty when it cannot be loaded.
    virtual std::u16string loadString(unsigned id) = 0;
    // Runs the open or save dialog owned by this window; when the user chose a file, the
    // request's file buffer holds its path. The process's current folder is as before.
    virtual FileDialogResult runFileDialog(FileDialogRequest& request) = 0;
    // A modal message box owned by this window, with one OK button and no icon.
    virtual void messageBox(std::u16string_view text, std::u16string_view caption) = 0;
    // Ends this window as a modal dialog with the result.
    virtual void endDialog(int result) = 0;

    // Shows the wait cursor while on is true; calls nest, and the cursor shown before the
    // outermost call comes back when it ends.
    virtual void setWaitCursor(bool on) = 0;
    // Paints now what waits to be painted in the window and its controls: a long call holds
    // the thread, and the user sees meanwhile what was drawn before it.
    virtual void paintNow() = 0;
    // Drops the keyboard and mouse input waiting for the thread: clicks and keys made while a
    // long call held it are not run when it returns.
    virtual void discardInput() = 0;
};
