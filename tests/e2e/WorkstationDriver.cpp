// Drives the shipped workstation from another process as its user would: finds its windows by
// caption and its controls by identifier, types the PIN, clicks, answers the file dialogs and
// the error boxes, and writes what it saw to a report (UTF-8, one "key: value" line per fact),
// which the calling script judges. Every wait is bounded; a workstation still running at the
// end is terminated.
//
//   workstation_driver --program EXE --directory DIR --report FILE [--pin PIN]
//                      [--input FILE --output FILE] [--shots DIR [--tabs 1]]
//
// Without --pin the PIN dialog is cancelled. With --input and --output the file is hashed
// with GOST R 34.11-2012 (256 bits) on the first page after the login; then the main window
// is closed.
// With --shots the driver asks for screenshots (pin: the PIN dialog over the main window;
// hash: the main window after hashing; with --tabs also sign, verify, encrypt, pin-change and
// journal, the other tabs selected in turn): it writes NAME.rect (the window's rectangle on
// the desktop: left top width height) into DIR and waits for NAME.done from the script.
#include "ui/resources/Resource.h"

// The window system's headers in the order they need.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <cstdio>
#include <cwchar>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr const wchar_t* kMainCaption = L"АРМ пользователя Veltora QRD";
constexpr const wchar_t* kPinCaption = L"Введите PIN-код";
constexpr const wchar_t* kErrorCaption = L"Ошибка";
constexpr int kMessageBoxText = 0xFFFF;
constexpr int kFileNameCombo = 0x47c;
constexpr DWORD kWindowWait = 60000; // a cold Wine start takes seconds
constexpr DWORD kStepWait = 30000;
constexpr UINT kSendWait = 5000;
constexpr DWORD kWholeRun = 240000;

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

bool send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr) {
    DWORD_PTR answer = 0;
    const bool sent =
        SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendWait, &answer);
    if (result != nullptr) {
        *result = static_cast<LRESULT>(answer);
    }
    return sent;
}

// The text of a control of another process (GetWindowText does not ask other processes).
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
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (process != search.process || !IsWindowVisible(window) ||
        std::wcscmp(className, L"#32770") != 0) {
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

HWND findDialog(DWORD process, const wchar_t* caption, int childId = 0) {
    Search search{process, caption, childId, nullptr};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
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

class Driver {
public:
    Driver(Report& report, std::map<std::wstring, std::wstring> options)
        : report_(report), options_(std::move(options)), start_(GetTickCount()) {}
    ~Driver() {
        if (process_.hProcess != nullptr) {
            if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
                report_.line("failure", L"the workstation was still running and was terminated");
                TerminateProcess(process_.hProcess, 1);
            }
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
        }
    }
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    void run() {
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
        if (pinDialog != nullptr && !option(L"pin")) {
            PostMessageW(GetDlgItem(pinDialog, IDCANCEL), BM_CLICK, 0, 0);
            return finish();
        }
        if (pinDialog == nullptr || !logIn(pinDialog)) {
            return finish();
        }
        if (option(L"input") && option(L"output") && !hashFile()) {
            return finish();
        }
        snapshotJournal("journal");
        shoot(L"hash", main_);
        if (option(L"shots") && option(L"tabs") && !showOtherTabs()) {
            return finish();
        }
        close();
    }

private:
    DWORD pid() const { return process_.dwProcessId; }
    bool option(const wchar_t* name) const { return options_.count(name) != 0; }
    bool exited() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; }
    DWORD remaining(DWORD limit) const {
        const DWORD spent = GetTickCount() - start_;
        const DWORD left = spent < kWholeRun ? kWholeRun - spent : 0;
        return left < limit ? left : limit;
    }

    bool start() {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        std::wstring commandLine = L"\"" + options_[L"program"] + L"\"";
        if (!CreateProcessW(options_[L"program"].c_str(), commandLine.data(), nullptr, nullptr,
                            FALSE, 0, nullptr, options_[L"directory"].c_str(), &startup,
                            &process_)) {
            report_.line("failure",
                         L"CreateProcessW failed with " + std::to_wstring(GetLastError()));
            return false;
        }
        return true;
    }

    // Polls until `find` gives a window; an error box met on the way is recorded and answered
    // (and ends the wait), as is the end of the process.
    template <typename Find>
    HWND await(const wchar_t* what, Find find, DWORD limit) {
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

    bool answerErrorBox() {
        const HWND box = findDialog(pid(), kErrorCaption, kMessageBoxText);
        if (box == nullptr) {
            return false;
        }
        report_.line("error", controlText(GetDlgItem(box, kMessageBoxText)));
        snapshotJournal("journal-at-error");
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        for (int tries = 0; tries < 200 && IsWindow(box) && IsWindowVisible(box); ++tries) {
            Sleep(50);
        }
        return true;
    }

    void snapshotJournal(const char* key) {
        for (const std::wstring& line : listLines(GetDlgItem(main_, IDC_MAIN_JOURNAL))) {
            report_.line(key, line);
        }
    }

    // The window's rectangle goes to the script, which takes the picture and answers.
    void shoot(const std::wstring& name, HWND window) {
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

    bool logIn(HWND pinDialog) {
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
    std::wstring browse(HWND page, int button, int edit, const std::wstring& path) {
        PostMessageW(GetDlgItem(page, button), BM_CLICK, 0, 0);
        const HWND dialog = await(
            L"a file dialog", [&] { return findDialog(pid(), nullptr, kFileNameCombo); },
            kStepWait);
        if (dialog == nullptr) {
            return {};
        }
        HWND name = nullptr;
        EnumChildWindows(GetDlgItem(dialog, kFileNameCombo), matchEdit,
                         reinterpret_cast<LPARAM>(&name));
        send(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        await(
            L"the file dialog to close",
            [&] { return IsWindow(dialog) && IsWindowVisible(dialog) ? nullptr : dialog; },
            kStepWait);
        return controlText(GetDlgItem(page, edit));
    }

    // Selects the other tabs one by one with the arrow key, as a user would, and takes each.
    bool showOtherTabs() {
        static constexpr const wchar_t* kNames[] = {L"sign", L"verify", L"encrypt", L"pin-change",
                                                    L"journal"};
        const HWND tab = GetDlgItem(main_, IDC_MAIN_TAB);
        for (int index = 1; index <= 5; ++index) {
            PostMessageW(tab, WM_KEYDOWN, VK_RIGHT, 1);
            PostMessageW(tab, WM_KEYUP, VK_RIGHT, 1 | 0xC0000000L);
            const HWND shown = await(
                L"the next tab",
                [&] {
                    LRESULT current = -1;
                    send(tab, TCM_GETCURSEL, 0, 0, &current);
                    return current == index ? tab : nullptr;
                },
                kStepWait);
            if (shown == nullptr) {
                return false;
            }
            shoot(kNames[index - 1], main_);
        }
        return true;
    }

    bool hashFile() {
        // The hashing page is the first page, the tab control's only child until others open.
        const HWND page =
            FindWindowExW(GetDlgItem(main_, IDC_MAIN_TAB), nullptr, L"#32770", nullptr);
        send(GetDlgItem(page, IDC_HASH_GOST12_256), BM_CLICK, 0, 0);
        report_.line("input",
                     browse(page, IDC_HASH_INPUT_BROWSE, IDC_HASH_INPUT, options_[L"input"]));
        report_.line("output",
                     browse(page, IDC_HASH_OUTPUT_BROWSE, IDC_HASH_OUTPUT, options_[L"output"]));
        const HWND run = GetDlgItem(page, IDC_HASH_RUN);
        report_.line("run-enabled", IsWindowEnabled(run) ? L"yes" : L"no");
        PostMessageW(run, BM_CLICK, 0, 0);
        // The digest file is moved into place as the command's last step.
        const std::wstring output = options_[L"output"];
        return await(
                   L"the digest file",
                   [&] {
                       return GetFileAttributesW(output.c_str()) != INVALID_FILE_ATTRIBUTES
                                  ? main_
                                  : nullptr;
                   },
                   kStepWait) != nullptr;
    }

    // Closes the main window and asks the journal list whether the module was finalised. The
    // answer must come after the shutdown and before the quit message ends the process: with
    // the workstation's thread held, the close command and then the question are queued as
    // sent messages, which the thread takes in that order once it runs again.
    void close() {
        auto* question = new Question{GetDlgItem(main_, IDC_MAIN_JOURNAL), LB_ERR, false};
        SuspendThread(process_.hThread);
        SendNotifyMessageW(main_, WM_COMMAND, IDCANCEL, 0);
        const HANDLE asker = CreateThread(nullptr, 0, askFinalized, question, 0, nullptr);
        Sleep(200); // the asker's message is queued behind the close command
        ResumeThread(process_.hThread);
        if (asker != nullptr &&
            WaitForSingleObject(asker, kStepWait + kSendWait) == WAIT_OBJECT_0) {
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
    void finish() {
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

    Report& report_;
    std::map<std::wstring, std::wstring> options_;
    DWORD start_;
    PROCESS_INFORMATION process_{};
    HWND main_ = nullptr;
};

} // namespace

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
                   "[--pin PIN] [--input FILE --output FILE] [--shots DIR]\n",
                   stderr);
        return 2;
    }
    Report report(options[L"report"]);
    if (!report.good()) {
        std::fputs("workstation_driver: cannot write the report\n", stderr);
        return 2;
    }
    {
        Driver driver(report, options);
        driver.run();
    }
    report.line("done", L"yes");
    return 0;
}
