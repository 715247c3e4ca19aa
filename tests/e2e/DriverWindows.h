// What the end-to-end driver asks of another process's windows, and its report. Every question
// is a sent message with a time limit, so a hung workstation never hangs the driver.
#pragma once

// The window system's headers in the order they need.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <fstream>
#include <string>
#include <vector>

namespace e2e {

constexpr int kMessageBoxText = 0xFFFF;
constexpr int kFileNameCombo = 0x47c;
constexpr UINT kSendWait = 5000;

std::string utf8(const std::wstring& text);

// One "key: value" line per fact, UTF-8, flushed at once so that a killed run leaves its facts.
class Report {
public:
    explicit Report(const std::wstring& path) : out_(path.c_str(), std::ios::binary) {}
    void line(const char* key, const std::wstring& value) {
        out_ << key << ": " << utf8(value) << '\n';
        out_.flush();
    }
    bool good() const { return out_.good(); }

private:
    std::ofstream out_;
};

bool send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr);

// The text of a control of another process (GetWindowText does not ask other processes).
std::wstring controlText(HWND control);

std::vector<std::wstring> listLines(HWND list);

// A visible dialog of `process` with that caption (any when null) holding control `childId`
// (any when 0).
HWND findDialog(DWORD process, const wchar_t* caption, int childId = 0);

// The visible dialog among the children of `parent` (the shown page of the main window).
HWND findVisibleChildDialog(HWND parent);

// The first edit control inside `parent` (the file name box of a file dialog).
HWND findEdit(HWND parent);

// A real left click at the desktop point, as the mouse makes it (a posted message would reach
// even a disabled window): the pointer moves there first, since a click alone lands where the
// desktop last saw the pointer. False when the input was not taken.
bool clickAt(POINT point);

} // namespace e2e
