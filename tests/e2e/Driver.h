// The end-to-end driver's session with one run of the workstation: it starts the program,
// waits for its windows within bounds, acts on them as the user would and records what it saw.
// WorkstationDriver.cpp holds the start, the login, hashing and the close; Journey.cpp the
// walk through the other tabs; FailingCommand.cpp one command meant to fail; Keyboard.cpp the
// program used from the keyboard; DoubleClick.cpp two clicks on one command.
#pragma once

#include "tests/e2e/DriverWindows.h"

#include <map>
#include <string>

namespace e2e {

class Driver {
public:
    Driver(Report& report, std::map<std::wstring, std::wstring> options);
    ~Driver();
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    void run();

private:
    DWORD pid() const { return process_.dwProcessId; }
    bool option(const wchar_t* name) const { return options_.count(name) != 0; }
    bool exited() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; }
    DWORD remaining(DWORD limit) const;

    bool start();

    // Polls until `find` gives a window; an error box met on the way is recorded and answered
    // (and ends the wait), as is the end of the process.
    template <typename Find>
    HWND await(const wchar_t* what, Find find, DWORD limit);

    bool answerErrorBox();
    // Waits for an error box and answers it; false when none came.
    bool awaitErrorBox();
    // Clicks a tab header other than the selected one with real mouse input, as a user would
    // (a posted message would reach even a disabled window), and reports the selection then.
    void clickOtherTab();
    void snapshotJournal(const char* key);
    void shoot(const std::wstring& name, HWND window);
    bool logIn(HWND pinDialog);
    std::wstring browse(HWND page, int button, int edit, const std::wstring& path);
    bool awaitFile(const std::wstring& path);
    bool hashFile();
    bool showOtherTabs();
    void close();
    void finish();

    // Journey.cpp: every tab but hashing, in the order of the tabs.
    std::wstring journeyFile(const wchar_t* name);
    HWND selectTab(int index);
    HWND showSigningPage();
    bool answerBox(const wchar_t* caption, const char* key);
    bool journey();
    bool signFile();
    bool verifyTwice();
    bool encryptAndDecrypt();
    bool changePin();
    bool saveJournal();

    // Keyboard.cpp: the program used from the keyboard alone, on the files of --keyboard.
    HWND focus() const;
    // Strokes the key (with the modifier held) and waits for the focus to move; the control
    // then focused, null when it did not move.
    HWND strokeForFocus(WORD key, WORD modifier = 0);
    bool tabTo(HWND control);
    std::wstring chooseFileByKeys(WORD key, HWND page, int edit, const std::wstring& path);
    bool keyboard(HWND pinDialog);

    // FailingCommand.cpp: the command named by --command, on the files of --files.
    std::wstring commandFile(const wchar_t* name);
    bool failCommand();

    // DoubleClick.cpp: two real clicks on the signing button while the token is slow.
    bool awaitIdle();
    bool doubleClickSign();

    Report& report_;
    std::map<std::wstring, std::wstring> options_;
    DWORD start_;
    PROCESS_INFORMATION process_{};
    HWND main_ = nullptr;
};

template <typename Find>
HWND Driver::await(const wchar_t* what, Find find, DWORD limit) {
    const DWORD until = GetTickCount() + remaining(limit);
    while (static_cast<LONG>(until - GetTickCount()) > 0) {
        if (const HWND window = find()) {
            return window;
        }
        if (answerErrorBox() || exited()) {
            return nullptr;
        }
        Sleep(50);
    }
    report_.line("failure", std::wstring(L"timed out waiting for ") + what);
    return nullptr;
}

} // namespace e2e
