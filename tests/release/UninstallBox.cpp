// Runs the installed uninstaller as a user would, not silently, and writes what its message box
// says, so that a script can judge a refused uninstallation by its words:
//
//   uninstall_box UNINSTALLER FOLDER REPORT
//
// The uninstaller runs in place (_?=FOLDER). Its confirmation page is accepted, the first
// message box it then shows is read ("box: TEXT") and answered, and the page it ends on is
// closed; the report ends with "exit: CODE". Every wait is bounded, and an uninstaller still
// running at the end is terminated ("exit: killed").
#include "tests/e2e/DriverWindows.h"

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr DWORD kLimit = 90000; // a cold Wine start takes seconds

bool pressed(HWND dialog, int id) {
    const HWND button = GetDlgItem(dialog, id);
    return button != nullptr && IsWindowEnabled(button) &&
           PostMessageW(button, BM_CLICK, 0, 0) != FALSE;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fputs("usage: uninstall_box UNINSTALLER FOLDER REPORT\n", stderr);
        return 2;
    }
    e2e::Report report(argv[3]);
    std::wstring command = std::wstring(L"\"") + argv[1] + L"\" /CurrentUser _?=" + argv[2];
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        report.line("failure", L"the uninstaller did not start");
        return 1;
    }
    const DWORD until = GetTickCount() + kLimit;
    std::wstring confirmation; // the text of button 1 when it was pressed to confirm
    bool answered = false;
    while (static_cast<LONG>(until - GetTickCount()) > 0 &&
           WaitForSingleObject(process.hProcess, 200) == WAIT_TIMEOUT) {
        if (!answered) {
            if (const HWND box =
                    e2e::findDialog(process.dwProcessId, nullptr, e2e::kMessageBoxText)) {
                report.line("box", e2e::controlText(GetDlgItem(box, e2e::kMessageBoxText)));
                answered = pressed(box, IDOK);
                continue;
            }
        }
        // The uninstaller's own window: "Удалить" (button 1) on the confirmation page; at the
        // end "Закрыть" (button 1 again) after a removal, "Отмена" (button 2) after a stop.
        if (const HWND window = e2e::findDialog(process.dwProcessId, nullptr, IDOK)) {
            const std::wstring text = e2e::controlText(GetDlgItem(window, IDOK));
            if (confirmation.empty()) {
                if (pressed(window, IDOK)) {
                    confirmation = text;
                }
            } else if (!(answered && pressed(window, IDCANCEL)) && text != confirmation) {
                pressed(window, IDOK);
            }
        }
    }
    DWORD code = 0;
    if (GetExitCodeProcess(process.hProcess, &code) && code != STILL_ACTIVE) {
        report.line("exit", std::to_wstring(code));
    } else {
        TerminateProcess(process.hProcess, 1);
        report.line("exit", L"killed");
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
