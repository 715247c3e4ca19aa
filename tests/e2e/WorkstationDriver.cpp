// Drives the shipped workstation from another process as its user would: finds its windows by
// caption and its controls by identifier, types the PIN, clicks, answers the file dialogs and
// the message boxes, and writes what it saw to a report (UTF-8, one "key: value" line per
// fact), which the calling script judges. Every wait is bounded; a workstation still running
// at the end is terminated.
//
//   workstation_driver --program EXE --directory DIR --report FILE [--pin PIN [--click-tab 1]]
//                      [--command NAME --files DIR [--missing-input 1]
//                       [--existing-output 1 [--lock-output 1]]]
//                      [--input FILE --output FILE] [--journey DIR --new-pin PIN]
//                      [--keyboard DIR] [--double-click DIR] [--shots DIR [--tabs 1]]
//
// Without --pin the PIN dialog is cancelled. Every error box is reported with the journal at
// that moment and whether the main window was enabled; with --click-tab the driver also clicks
// another tab's header while the box is up. With --command one command that is meant to fail
// is run on the files of DIR (see FailingCommand.cpp), and its error box answered. With
// --input and --output the file is then hashed with GOST R 34.11-2012 (256 bits) on the first
// page. With --journey the other tabs are used in turn on the files of DIR (see Journey.cpp).
// With --double-click the signing button gets two real clicks in a row (see DoubleClick.cpp).
// Then the main window is closed. With --keyboard the PIN is typed and the program is used
// and closed from the keyboard alone, on the files of DIR (see Keyboard.cpp).
// With --shots the driver asks for screenshots (pin: the PIN dialog over the main window;
// hash: the main window after hashing; with --tabs also sign, verify, encrypt, pin-change and
// journal, the other tabs selected in turn): it writes NAME.rect (the window's rectangle on
// the desktop: left top width height) into DIR and waits for NAME.done from the script.
#include "tests/e2e/Driver.h"
#include "ui/resources/Resource.h"

#include <cstdio>
#include <cwchar>

namespace e2e {

namespace {

constexpr const wchar_t* kMainCaption = L"АРМ пользователя Veltora QRD";
constexpr const wchar_t* kPinCaption = L"Введите PIN-код";
constexpr const wchar_t* kErrorCaption = L"Ошибка";
constexpr DWORD kWindowWait = 60000; // a cold Wine start takes seconds
constexpr DWORD kStepWait = 30000;
constexpr DWORD kWholeRun = 240000;

struct Question {
    HWND list;
    LRESULT index;
    bool answered;
};

DWORD WINAPI askFinalized(void* parameter) {
    auto& question = *static_cast<Question*>(parameter);
    DWORD_PTR index = 0;
    question.answered =
        SendMessageTimeoutW(question.list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                            reinterpret_cast<LPARAM>(L"C_Finalize -> CKR_OK"), SMTO_NORMAL,
                            kStepWait, &index) != 0;
    question.index = static_cast<LRESULT>(index);
    return 0;
}

} // namespace

Driver::Driver(Report& report, std::map<std::wstring, std::wstring> options)
    : report_(report), options_(std::move(options)), start_(GetTickCount()) {}

Driver::~Driver() {
    if (process_.hProcess != nullptr) {
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            report_.line("failure", L"the workstation was still running and was terminated");
            TerminateProcess(process_.hProcess, 1);
        }
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
}

void Driver::run() {
    if (!start()) {
        return;
    }
    main_ = await(
        L"the main window", [&] { return findDialog(pid(), kMainCaption); }, kWindowWait);
    if (main_ == nullptr) {
        return finish();
    }
    const HWND pinDialog = await(
        L"the PIN dialog", [&] { return findDialog(pid(), kPinCaption); }, kWindowWait);
    report_.line("serial", controlText(GetDlgItem(main_, IDC_MAIN_SERIAL)));
    report_.line("label", controlText(GetDlgItem(main_, IDC_MAIN_LABEL)));
    report_.line("checksum", controlText(GetDlgItem(main_, IDC_MAIN_CHECKSUM)));
    if (pinDialog != nullptr && option(L"keyboard")) {
        keyboard(pinDialog);
        return finish();
    }
    if (pinDialog != nullptr && !option(L"pin")) {
        PostMessageW(GetDlgItem(pinDialog, IDCANCEL), BM_CLICK, 0, 0);
        return finish();
    }
    if (pinDialog == nullptr || !logIn(pinDialog)) {
        return finish();
    }
    if (option(L"command") && !failCommand()) {
        return finish();
    }
    if (option(L"input") && option(L"output") && !hashFile()) {
        return finish();
    }
    if (option(L"journey") && !journey()) {
        return finish();
    }
    if (option(L"double-click") && !doubleClickSign()) {
        return finish();
    }
    snapshotJournal("journal");
    shoot(L"hash", main_);
    if (option(L"shots") && option(L"tabs") && !showOtherTabs()) {
        return finish();
    }
    close();
}

DWORD Driver::remaining(DWORD limit) const {
    const DWORD spent = GetTickCount() - start_;
    const DWORD left = spent < kWholeRun ? kWholeRun - spent : 0;
    return left < limit ? left : limit;
}

bool Driver::start() {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring commandLine = L"\"" + options_[L"program"] + L"\"";
    if (!CreateProcessW(options_[L"program"].c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        0, nullptr, options_[L"directory"].c_str(), &startup, &process_)) {
        report_.line("failure", L"CreateProcessW failed with " + std::to_wstring(GetLastError()));
        return false;
    }
    return true;
}

bool Driver::answerErrorBox() {
    const HWND box = findDialog(pid(), kErrorCaption, kMessageBoxText);
    if (box == nullptr) {
        return false;
    }
    report_.line("error", controlText(GetDlgItem(box, kMessageBoxText)));
    if (main_ != nullptr) {
        report_.line("main-enabled-at-error", IsWindowEnabled(main_) ? L"yes" : L"no");
        if (option(L"click-tab")) {
            clickOtherTab();
        }
    }
    snapshotJournal("journal-at-error");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    for (int tries = 0; tries < 200 && IsWindow(box) && IsWindowVisible(box); ++tries) {
        Sleep(50);
    }
    return true;
}

bool Driver::awaitErrorBox() {
    const DWORD until = GetTickCount() + remaining(kStepWait);
    while (static_cast<LONG>(until - GetTickCount()) > 0 && !exited()) {
        if (answerErrorBox()) {
            return true;
        }
        Sleep(50);
    }
    report_.line("failure", L"no error box");
    return false;
}

void Driver::clickOtherTab() {
    const HWND tab = GetDlgItem(main_, IDC_MAIN_TAB);
    RECT area{};
    GetWindowRect(tab, &area);
    // Far enough right of the first header to be on another one, inside the header row.
    if (!clickAt({area.left + 150, area.top + 10})) {
        report_.line("failure", L"SendInput failed with " + std::to_wstring(GetLastError()));
    }
    Sleep(1000); // time for a page to open and list its keys, had the click got through
    LRESULT selected = -1;
    send(tab, TCM_GETCURSEL, 0, 0, &selected);
    report_.line("tab-after-click", std::to_wstring(selected));
}

void Driver::snapshotJournal(const char* key) {
    for (const std::wstring& line : listLines(GetDlgItem(main_, IDC_MAIN_JOURNAL))) {
        report_.line(key, line);
    }
}

// The window's rectangle goes to the script, which takes the picture and answers.
void Driver::shoot(const std::wstring& name, HWND window) {
    if (!option(L"shots")) {
        return;
    }
    Sleep(500); // let the window finish painting
    RECT area{};
    GetWindowRect(window, &area);
    const std::wstring base = options_[L"shots"] + L"\\" + name;
    {
        std::ofstream rect((base + L".rect.tmp").c_str());
        rect << area.left << ' ' << area.top << ' ' << area.right - area.left << ' '
             << area.bottom - area.top << '\n';
    }
    if (!MoveFileExW((base + L".rect.tmp").c_str(), (base + L".rect").c_str(),
                     MOVEFILE_REPLACE_EXISTING)) {
        report_.line("failure", L"cannot ask for a screenshot of " + name);
        return;
    }
    const DWORD until = GetTickCount() + remaining(kStepWait);
    while (GetFileAttributesW((base + L".done").c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (static_cast<LONG>(until - GetTickCount()) <= 0) {
            report_.line("failure", L"no screenshot was taken of " + name);
            return;
        }
        Sleep(50);
    }
}

bool Driver::logIn(HWND pinDialog) {
    send(GetDlgItem(pinDialog, IDC_PIN_EDIT), WM_SETTEXT, 0,
         reinterpret_cast<LPARAM>(options_[L"pin"].c_str()));
    shoot(L"pin", main_); // the PIN dialog over the main window
    // Posted: the click runs the login inside the dialog's own modal loop.
    PostMessageW(GetDlgItem(pinDialog, IDOK), BM_CLICK, 0, 0);
    // A failed login also hides the dialog, then shows its error box: only the journal
    // tells the two apart.
    const HWND list = GetDlgItem(main_, IDC_MAIN_JOURNAL);
    const HWND loggedIn = await(
        L"the login",
        [&] {
            LRESULT index = LB_ERR;
            send(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(L"C_Login -> CKR_OK"), &index);
            return index != LB_ERR && !IsWindowVisible(pinDialog) ? main_ : nullptr;
        },
        kStepWait);
    return loggedIn != nullptr;
}

// Answers the open or save dialog that `button` opens with `path`; gives the text the page
// then shows in `edit`.
std::wstring Driver::browse(HWND page, int button, int edit, const std::wstring& path) {
    PostMessageW(GetDlgItem(page, button), BM_CLICK, 0, 0);
    const HWND dialog = await(
        L"a file dialog", [&] { return findDialog(pid(), nullptr, kFileNameCombo); }, kStepWait);
    if (dialog == nullptr) {
        return {};
    }
    send(findEdit(GetDlgItem(dialog, kFileNameCombo)), WM_SETTEXT, 0,
         reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    await(
        L"the file dialog to close",
        [&] { return IsWindow(dialog) && IsWindowVisible(dialog) ? nullptr : dialog; }, kStepWait);
    return controlText(GetDlgItem(page, edit));
}

// Output files are moved into place as a command's last step: once there, they are whole.
bool Driver::awaitFile(const std::wstring& path) {
    return await(
               L"an output file",
               [&] {
                   return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES ? main_
                                                                                      : nullptr;
               },
               kStepWait) != nullptr;
}

// Selects the other tabs one by one with the arrow key, as a user would, and takes each.
bool Driver::showOtherTabs() {
    static constexpr const wchar_t* kNames[] = {L"sign", L"verify", L"encrypt", L"pin-change",
                                                L"journal"};
    for (int index = 1; index <= 5; ++index) {
        if (selectTab(index) == nullptr) {
            return false;
        }
        shoot(kNames[index - 1], main_);
    }
    return true;
}

bool Driver::hashFile() {
    const HWND page = selectTab(0);
    if (page == nullptr) {
        return false;
    }
    send(GetDlgItem(page, IDC_HASH_GOST12_256), BM_CLICK, 0, 0);
    report_.line("input", browse(page, IDC_HASH_INPUT_BROWSE, IDC_HASH_INPUT, options_[L"input"]));
    report_.line("output",
                 browse(page, IDC_HASH_OUTPUT_BROWSE, IDC_HASH_OUTPUT, options_[L"output"]));
    const HWND run = GetDlgItem(page, IDC_HASH_RUN);
    report_.line("run-enabled", IsWindowEnabled(run) ? L"yes" : L"no");
    PostMessageW(run, BM_CLICK, 0, 0);
    return awaitFile(options_[L"output"]);
}

// Closes the main window and asks the journal list whether the module was finalised. The
// answer must come after the shutdown and before the quit message ends the process: with
// the workstation's thread held, the close command and then the question are queued as
// sent messages, which the thread takes in that order once it runs again.
void Driver::close() {
    auto* question = new Question{GetDlgItem(main_, IDC_MAIN_JOURNAL), LB_ERR, false};
    SuspendThread(process_.hThread);
    SendNotifyMessageW(main_, WM_COMMAND, IDCANCEL, 0);
    const HANDLE asker = CreateThread(nullptr, 0, askFinalized, question, 0, nullptr);
    Sleep(200); // the asker's message is queued behind the close command
    ResumeThread(process_.hThread);
    if (asker != nullptr && WaitForSingleObject(asker, kStepWait + kSendWait) == WAIT_OBJECT_0) {
        if (question->answered && question->index != LB_ERR) {
            report_.line("finalized", L"yes");
        }
        delete question; // left to a thread that never came back otherwise
    }
    if (asker != nullptr) {
        CloseHandle(asker);
    }
    finish();
}

// Answers any further error box until the process ends, and reports its exit code.
void Driver::finish() {
    const DWORD until = GetTickCount() + remaining(kStepWait);
    while (!exited() && static_cast<LONG>(until - GetTickCount()) > 0) {
        answerErrorBox();
        Sleep(50);
    }
    DWORD code = 0;
    if (exited() && GetExitCodeProcess(process_.hProcess, &code)) {
        report_.line("exit", std::to_wstring(code));
    }
}

} // namespace e2e

int wmain(int argc, wchar_t** argv) {
    std::map<std::wstring, std::wstring> options;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::wcsncmp(argv[i], L"--", 2) != 0) {
            break;
        }
        options[argv[i] + 2] = argv[i + 1];
    }
    if (!options.count(L"program") || !options.count(L"directory") || !options.count(L"report")) {
        std::fputs("usage: workstation_driver --program EXE --directory DIR --report FILE "
                   "[--pin PIN [--click-tab 1]] [--command NAME --files DIR ...] "
                   "[--input FILE --output FILE] [--journey DIR --new-pin PIN] "
                   "[--keyboard DIR] [--double-click DIR] [--shots DIR [--tabs 1]]\n",
                   stderr);
        return 2;
    }
    e2e::Report report(options[L"report"]);
    if (!report.good()) {
        std::fputs("workstation_driver: cannot write the report\n", stderr);
        return 2;
    }
    {
        e2e::Driver driver(report, options);
        driver.run();
    }
    report.line("done", L"yes");
    return 0;
}
