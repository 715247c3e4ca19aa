#include "tests/e2e/DriverWindows.h"

#include <cwchar>

namespace e2e {

std::string utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

bool send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    DWORD_PTR answer = 0;
    const bool sent =
        SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendWait, &answer);
    if (result != nullptr) {
        *result = static_cast<LRESULT>(answer);
    }
    return sent;
}

std::wstring controlText(HWND control) {
    LRESULT length = 0;
    if (control == nullptr || !send(control, WM_GETTEXTLENGTH, 0, 0, &length) || length < 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    LRESULT copied = 0;
    send(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), &copied);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

std::vector<std::wstring> listLines(HWND list) {
    std::vector<std::wstring> lines;
    LRESULT count = 0;
    if (list == nullptr || !send(list, LB_GETCOUNT, 0, 0, &count)) {
        return lines;
    }
    for (LRESULT index = 0; index < count; ++index) {
        LRESULT length = 0;
        if (!send(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0, &length)) {
            break; // gone or hung: each further question would wait as long
        }
        std::wstring line(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
        LRESULT copied = 0;
        send(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(line.data()),
             &copied);
        line.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
        lines.push_back(line);
    }
    return lines;
}

namespace {

bool isVisibleDialog(HWND window) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    return IsWindowVisible(window) && std::wcscmp(className, L"#32770") == 0;
}

struct Search {
    DWORD process;
    const wchar_t* caption; // any caption when null
    int childId;            // a control the window must hold, 0 for none
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<Search*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search.process || !isVisibleDialog(window)) {
        return TRUE;
    }
    wchar_t caption[128] = {};
    GetWindowTextW(window, caption, 128);
    if ((search.caption != nullptr && std::wcscmp(caption, search.caption) != 0) ||
        (search.childId != 0 && GetDlgItem(window, search.childId) == nullptr)) {
        return TRUE;
    }
    search.found = window;
    return FALSE;
}

BOOL CALLBACK matchEdit(HWND window, LPARAM parameter) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (_wcsicmp(className, L"Edit") != 0) {
        return TRUE;
    }
    *reinterpret_cast<HWND*>(parameter) = window;
    return FALSE;
}

} // namespace

HWND findDialog(DWORD process, const wchar_t* caption, int childId) {
    Search search{process, caption, childId, nullptr};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND findVisibleChildDialog(HWND parent) {
    for (HWND child = FindWindowExW(parent, nullptr, L"#32770", nullptr); child != nullptr;
         child = FindWindowExW(parent, child, L"#32770", nullptr)) {
        if (isVisibleDialog(child)) {
            return child;
        }
    }
    return nullptr;
}

HWND findEdit(HWND parent) {
    HWND edit = nullptr;
    EnumChildWindows(parent, matchEdit, reinterpret_cast<LPARAM>(&edit));
    return edit;
}

bool clickAt(POINT point) {
    INPUT input[3] = {};
    for (INPUT& event : input) {
        event.type = INPUT_MOUSE;
    }
    input[0].mi.dx = point.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    input[0].mi.dy = point.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    return SendInput(3, input, sizeof(INPUT)) == 3;
}

} // namespace e2e
