// The dialog operations of the page logic, each the Win32 call it stands for, on one dialog
// window of the workstation.
#pragma once

#include "ui/DialogView.h"

#include <windows.h>

// The wait cursor of one view: shown while any of its nested requests is on; the cursor shown
// before comes back when the last ends, or when the view ends.
class Win32WaitCursor {
public:
    Win32WaitCursor() = default;
    ~Win32WaitCursor();
    Win32WaitCursor(const Win32WaitCursor&) = delete;
    Win32WaitCursor& operator=(const Win32WaitCursor&) = delete;

    void set(bool on) noexcept;

private:
    int depth_ = 0;
    HCURSOR previous_ = nullptr;
};

class Win32DialogView : public DialogView {
public:
    explicit Win32DialogView(HWND dialog) noexcept : dialog_(dialog) {}
    Win32DialogView(const Win32DialogView&) = delete;
    Win32DialogView& operator=(const Win32DialogView&) = delete;

    std::size_t textLength(int id) override;
    void readText(int id, WindowTextBuffer& buffer) override;
    void setText(int id, std::u16string_view text) override;
    void enable(int id, bool enabled) override;
    void checkRadio(int id) override;
    bool isRadioChecked(int id) override;
    int checkState(int id) override;
    bool isVisible(int id) override;
    void show(int id, bool shown) override;
    void addComboItem(int id, std::u16string_view text) override;
    void setComboSelection(int id, int index) override;
    int comboSelection(int id) override;
    void fitDropDownWidth(int id) override;
    std::u16string loadString(unsigned id) override;
    FileDialogResult runFileDialog(FileDialogRequest& request) override;
    void messageBox(std::u16string_view text, std::u16string_view caption) override;
    void endDialog(int result) override;
    void setWaitCursor(bool on) override { waitCursor_.set(on); }
    void paintNow() override;
    void discardInput() override;

    HWND window() const noexcept { return dialog_; }

private:
    HWND item(int id) const noexcept { return GetDlgItem(dialog_, id); }

    HWND dialog_;
    Win32WaitCursor waitCursor_;
    // The control that had the keyboard focus when it was disabled: it gets the focus back
    // when it is enabled again, since a disabled control loses it (the keyboard would
    // otherwise reach no control of the dialog).
    HWND refocus_ = nullptr;
};

// Wide text of the page logic as the ...W functions take it (the same units on Windows).
inline const wchar_t* wide(const std::u16string& text) noexcept {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

// A message box owned by the window, with one OK button and no icon.
void showMessageBox(HWND owner, std::u16string_view text, std::u16string_view caption);
