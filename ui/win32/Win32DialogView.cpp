#include "ui/win32/Win32DialogView.h"

#include "support/WindowTextBuffer.h"
#include "ui/FileDialogRequest.h"
#include "ui/KeyChoice.h"
#include "ui/resources/Resource.h"
#include "ui/win32/QueuedMessages.h"

#include <commdlg.h>
#include <string>
#include <vector>

static_assert(sizeof(wchar_t) == sizeof(char16_t));

Win32WaitCursor::~Win32WaitCursor() {
    if (depth_ > 0) {
        SetCursor(previous_);
    }
}

void Win32WaitCursor::set(bool on) noexcept {
    if (on) {
        if (depth_++ == 0) {
            previous_ = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        }
    } else if (depth_ > 0 && --depth_ == 0) {
        SetCursor(previous_);
    }
}

std::size_t Win32DialogView::textLength(int id) {
    const int length = GetWindowTextLengthW(item(id));
    return length > 0 ? static_cast<std::size_t>(length) : 0;
}

void Win32DialogView::readText(int id, WindowTextBuffer& buffer) {
    GetWindowTextW(item(id), reinterpret_cast<wchar_t*>(buffer.data()),
                   static_cast<int>(buffer.capacity()));
}

void Win32DialogView::setText(int id, std::u16string_view text) {
    const std::u16string terminated(text);
    SetWindowTextW(item(id), wide(terminated));
}

void Win32DialogView::enable(int id, bool enabled) {
    HWND control = item(id);
    if (!enabled && control != nullptr && GetFocus() == control) {
        refocus_ = control;
    }
    EnableWindow(control, enabled ? TRUE : FALSE);
    if (enabled && control != nullptr && control == refocus_) {
        refocus_ = nullptr;
        // As the dialog moves the focus, so that a push button is also made the default one.
        SendMessageW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    }
}

void Win32DialogView::checkRadio(int id) {
    SendMessageW(item(id), BM_SETCHECK, BST_CHECKED, 0);
}

bool Win32DialogView::isRadioChecked(int id) {
    return IsDlgButtonChecked(dialog_, id) != 0;
}

int Win32DialogView::checkState(int id) {
    return static_cast<int>(SendMessageW(item(id), BM_GETCHECK, 0, 0));
}

bool Win32DialogView::isVisible(int id) {
    return IsWindowVisible(item(id)) != FALSE;
}

void Win32DialogView::show(int id, bool shown) {
    ShowWindow(item(id), shown ? SW_SHOW : SW_HIDE);
}

void Win32DialogView::addComboItem(int id, std::u16string_view text) {
    const std::u16string terminated(text);
    SendMessageW(item(id), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(terminated)));
}

void Win32DialogView::setComboSelection(int id, int index) {
    SendMessageW(item(id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int Win32DialogView::comboSelection(int id) {
    return static_cast<int>(SendMessageW(item(id), CB_GETCURSEL, 0, 0));
}

void Win32DialogView::fitDropDownWidth(int id) {
    HWND combo = item(id);
    std::vector<std::u16string> items;
    const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT index = 0; index < count; ++index) {
        const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, index, 0);
        if (length < 0) {
            continue;
        }
        std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
        SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<std::size_t>(length));
        items.push_back(std::move(text));
    }

    HDC dc = GetDC(combo);
    HGDIOBJ previousFont =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(combo, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    DropDownMetrics dropDown;
    dropDown.averageCharWidth = metrics.tmAveCharWidth;
    // Only key lists are widened; their template style, not the window's, has the scroll bar.
    dropDown.verticalScroll = (KEY_LIST_STYLE & WS_VSCROLL) != 0;
    dropDown.scrollBarWidth = GetSystemMetrics(SM_CXVSCROLL);
    dropDown.edgeWidth = GetSystemMetrics(SM_CXEDGE);
    const int width = dropDownWidth(
        items,
        [dc](std::u16string_view text) {
            SIZE size{};
            GetTextExtentPoint32W(dc, reinterpret_cast<const wchar_t*>(text.data()),
                                  static_cast<int>(text.size()), &size);
            return static_cast<int>(size.cx);
        },
        dropDown);
    SelectObject(dc, previousFont);
    ReleaseDC(combo, dc);
    SendMessageW(combo, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(width), 0);
}

std::u16string Win32DialogView::loadString(unsigned id) {
    std::u16string buffer(FileDialogRequest::kFilterCapacity, u'\0');
    const int length =
        LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<wchar_t*>(buffer.data()),
                    static_cast<int>(buffer.size()));
    buffer.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return buffer;
}

namespace {

// Puts the process's current folder back when it ends. The file dialogs leave it in the chosen
// file's folder (the open dialog even with OFN_NOCHANGEDIR), which keeps a removable drive in
// use until the program ends.
class KeepCurrentFolder {
public:
    KeepCurrentFolder() {
        const DWORD length = GetCurrentDirectoryW(0, nullptr);
        if (length > 0) {
            folder_.resize(length);
            folder_.resize(GetCurrentDirectoryW(length, folder_.data()));
        }
    }
    ~KeepCurrentFolder() {
        if (!folder_.empty()) {
            SetCurrentDirectoryW(folder_.c_str());
        }
    }
    KeepCurrentFolder(const KeepCurrentFolder&) = delete;
    KeepCurrentFolder& operator=(const KeepCurrentFolder&) = delete;

private:
    std::wstring folder_;
};

} // namespace

FileDialogResult Win32DialogView::runFileDialog(FileDialogRequest& request) {
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = dialog_;
    if (!request.filter.empty()) {
        dialog.lpstrFilter = wide(request.filter);
        dialog.nFilterIndex = request.filterIndex;
    }
    dialog.lpstrFile = reinterpret_cast<wchar_t*>(request.file.data());
    dialog.nMaxFile = request.maxFile;
    dialog.Flags = request.flags;
    if (!request.defaultExtension.empty()) {
        dialog.lpstrDefExt = wide(request.defaultExtension);
    }
    const KeepCurrentFolder folder;
    if ((request.save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog)) != FALSE) {
        return FileDialogResult::chosen;
    }
    return CommDlgExtendedError() == FNERR_BUFFERTOOSMALL ? FileDialogResult::pathTooLong
                                                          : FileDialogResult::cancelled;
}

void Win32DialogView::paintNow() {
    ::paintNow(dialog_);
}

void Win32DialogView::discardInput() {
    discardQueuedInput();
}

void Win32DialogView::messageBox(std::u16string_view text, std::u16string_view caption) {
    showMessageBox(dialog_, text, caption);
}

void Win32DialogView::endDialog(int result) {
    EndDialog(dialog_, result);
}

void showMessageBox(HWND owner, std::u16string_view text, std::u16string_view caption) {
    const std::u16string terminatedText(text);
    const std::u16string terminatedCaption(caption);
    MessageBoxW(owner, wide(terminatedText), wide(terminatedCaption), MB_OK);
}
