// Two real mouse clicks on "Подписать" in quick succession while the token is slow (the script
// delays C_Sign), as an impatient holder of a real token makes them. The files live in the
// --double-click folder:
//   data.bin   the data, given
//   data.sig   the signature, written by the workstation
// The report says whether the button was disabled while the token worked, and whether it was
// enabled and had the focus again afterwards; the script counts the signing calls in the
// journal list and the records in the token's journal.
#include "tests/e2e/Driver.h"
#include "ui/resources/Resource.h"

namespace e2e {

// Returns once the workstation's thread takes messages again: a sent message waits for it.
bool Driver::awaitIdle() {
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(main_, WM_NULL, 0, 0, SMTO_NORMAL, remaining(30000), &answer) != 0;
}

bool Driver::doubleClickSign() {
    const HWND page = showSigningPage();
    if (page == nullptr) {
        return false;
    }
    const HWND run = GetDlgItem(page, IDC_SIGN_RUN);
    const std::wstring folder = options_[L"double-click"];
    browse(page, IDC_SIGN_INPUT_BROWSE, IDC_SIGN_INPUT, folder + L"\\data.bin");
    browse(page, IDC_SIGN_SIGNATURE_BROWSE, IDC_SIGN_SIGNATURE, folder + L"\\data.sig");
    RECT area{};
    GetWindowRect(run, &area);
    const POINT middle{(area.left + area.right) / 2, (area.top + area.bottom) / 2};

    // Two clicks as an impatient holder makes them, the second while the first runs its command
    // or, when the machine is slow to take the first, already waiting behind it in the queue:
    // either way only one command may run.
    for (int click = 0; click < 2; ++click) {
        if (click == 1) {
            Sleep(200);
        }
        if (!clickAt(middle)) {
            report_.line("failure", L"SendInput failed with " + std::to_wstring(GetLastError()));
            return false;
        }
    }
    // The command greys the button while the token works (IsWindowEnabled needs nothing of the
    // busy thread); a button left enabled shows after a while that it never is.
    for (int tries = 0; tries < 300 && IsWindowEnabled(run); ++tries) {
        Sleep(50);
    }
    report_.line("run-disabled-while-signing", IsWindowEnabled(run) ? L"no" : L"yes");
    if (!awaitFile(folder + L"\\data.sig")) {
        return false;
    }
    // A second command, had the click got through, starts as soon as the first returns, and
    // holds the thread until it is done.
    if (!awaitIdle()) {
        report_.line("failure", L"the workstation stayed busy");
        return false;
    }
    Sleep(500);
    awaitIdle();
    report_.line("run-enabled-after", IsWindowEnabled(run) ? L"yes" : L"no");
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    const bool known = GetGUIThreadInfo(process_.dwThreadId, &thread) != FALSE;
    report_.line("focus-after", known && thread.hwndFocus == run ? L"run" : L"elsewhere");
    return true;
}

} // namespace e2e
