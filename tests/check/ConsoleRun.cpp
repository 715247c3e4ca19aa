// console-run: starts a console program in a console of its own, the way a double click, a
// scheduled task or another program starts it, and acts at that console as a person would.
//
//   console-run MODE SECONDS PROGRAM [ARGUMENTS...]
//
// MODE:
//   hidden     a console whose window its starter asks to hide (STARTF_USESHOWWINDOW, SW_HIDE)
//   no-window  a console without a window (CREATE_NO_WINDOW)
//   shown      a console window of its own: the PIN in CONSOLE_RUN_PIN is typed at the PIN
//              prompt, and Enter at the request for it at the end
//   ctrl-c     as shown, but Ctrl+C is pressed at the PIN prompt
// Prints "waited for Enter" when the program asked for it and "exit N" with its exit status;
// a program still running after SECONDS is ended, and console-run fails. Attached to the
// console, console-run is one more program in it: it attaches only once the program has
// loaded the token's module, after it has asked who shares its console.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include <windows.h>
// After windows.h.
#include <psapi.h>

namespace {

const std::wstring kPinPrompt = L"Введите PIN-код пользователя";
const std::wstring kEnterRequest = L"Нажмите Enter, чтобы закрыть окно.";

std::wstring quoted(const wchar_t* argument) {
    std::wstring text = L"\"";
    for (const wchar_t* c = argument; *c != L'\0'; ++c) {
        text += *c == L'"' ? L"\\\"" : std::wstring(1, *c);
    }
    return text + L"\"";
}

// The text of the console this program is attached to, row after row.
std::wstring screenText() {
    HANDLE screen =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (screen == INVALID_HANDLE_VALUE) {
        return {};
    }
    CONSOLE_SCREEN_BUFFER_INFO info{};
    std::wstring text;
    if (GetConsoleScreenBufferInfo(screen, &info)) {
        text.resize(static_cast<std::size_t>(info.dwSize.X) *
                    static_cast<std::size_t>(info.dwSize.Y));
        DWORD read = 0;
        ReadConsoleOutputCharacterW(screen, text.data(), static_cast<DWORD>(text.size()), {0, 0},
                                    &read);
        text.resize(read);
    }
    CloseHandle(screen);
    return text;
}

KEY_EVENT_RECORD key(WORD virtualKey, wchar_t character, DWORD controls, bool down) {
    KEY_EVENT_RECORD event{};
    event.bKeyDown = down ? TRUE : FALSE;
    event.wRepeatCount = 1;
    event.wVirtualKeyCode = virtualKey;
    event.wVirtualScanCode = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    event.uChar.UnicodeChar = character;
    event.dwControlKeyState = controls;
    return event;
}

// Types into the console this program is attached to: each character, then the key given. A
// key with Ctrl is pressed and not released: Wine's console takes the release of Ctrl+C for a
// second press.
void type(const std::wstring& text, WORD virtualKey, wchar_t character, DWORD controls) {
    std::vector<INPUT_RECORD> records;
    const auto add = [&](const KEY_EVENT_RECORD& event) {
        INPUT_RECORD record{};
        record.EventType = KEY_EVENT;
        record.Event.KeyEvent = event;
        records.push_back(record);
    };
    for (const wchar_t c : text) {
        add(key(0, c, 0, true));
        add(key(0, c, 0, false));
    }
    add(key(virtualKey, character, controls, true));
    if (controls == 0) {
        add(key(virtualKey, character, controls, false));
    }
    HANDLE input =
        CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD written = 0;
    WriteConsoleInputW(input, records.data(), static_cast<DWORD>(records.size()), &written);
    CloseHandle(input);
}

// Whether the process has loaded a DLL of that name.
bool hasLoaded(HANDLE process, const wchar_t* name) {
    HMODULE modules[512];
    DWORD needed = 0;
    if (!K32EnumProcessModules(process, modules, sizeof modules, &needed)) {
        return false;
    }
    for (DWORD i = 0; i < needed / sizeof(HMODULE) && i < 512; ++i) {
        wchar_t base[MAX_PATH] = {};
        if (K32GetModuleBaseNameW(process, modules[i], base, MAX_PATH) != 0 &&
            lstrcmpiW(base, name) == 0) {
            return true;
        }
    }
    return false;
}

// A line to the output this program was given, which attaching to a console leaves alone.
void report(HANDLE output, const std::string& line) {
    DWORD written = 0;
    WriteFile(output, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    WriteFile(output, "\n", 1, &written, nullptr);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::fputs("usage: console-run hidden|no-window|shown|ctrl-c SECONDS PROGRAM [ARGS]\n",
                   stderr);
        return 2;
    }
    const std::wstring mode = argv[1];
    const DWORD limit = static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) * 1000;
    std::wstring commandLine;
    for (int i = 3; i < argc; ++i) {
        commandLine += (i > 3 ? L" " : L"") + quoted(argv[i]);
    }
    const bool acts = mode == L"shown" || mode == L"ctrl-c";
    if (!acts && mode != L"hidden" && mode != L"no-window") {
        std::fputs("unknown mode\n", stderr);
        return 2;
    }

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    DWORD flags = CREATE_NEW_CONSOLE | CREATE_UNICODE_ENVIRONMENT;
    if (mode == L"hidden") {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
    } else if (mode == L"no-window") {
        flags = CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT;
    }
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, flags, nullptr,
                        nullptr, &startup, &process)) {
        std::fprintf(stderr, "CreateProcessW failed: %lu\n", GetLastError());
        return 1;
    }
    CloseHandle(process.hThread);

    bool waitedForEnter = false;
    const ULONGLONG deadline = GetTickCount64() + limit;
    if (acts) {
        FreeConsole();
        bool attached = false;
        bool pinAnswered = false;
        while (!waitedForEnter && GetTickCount64() < deadline &&
               WaitForSingleObject(process.hProcess, 100) == WAIT_TIMEOUT) {
            if (!attached) {
                // Ctrl+C typed there reaches every program attached to the console.
                attached = hasLoaded(process.hProcess, L"vlPKCS11QRD.dll") &&
                           AttachConsole(process.dwProcessId) != FALSE &&
                           SetConsoleCtrlHandler(nullptr, TRUE) != FALSE;
                continue;
            }
            const std::wstring text = screenText();
            if (!pinAnswered && text.find(kPinPrompt) != std::wstring::npos) {
                pinAnswered = true;
                if (mode == L"ctrl-c") {
                    type(L"12", 'C', L'\x03', LEFT_CTRL_PRESSED);
                } else {
                    const char* pin = std::getenv("CONSOLE_RUN_PIN");
                    const std::string narrow = pin != nullptr ? pin : "";
                    type(std::wstring(narrow.begin(), narrow.end()), VK_RETURN, L'\r', 0);
                }
            } else if (text.find(kEnterRequest) != std::wstring::npos) {
                waitedForEnter = true;
                type(L"", VK_RETURN, L'\r', 0);
            }
        }
    }
    const ULONGLONG now = GetTickCount64();
    if (WaitForSingleObject(process.hProcess, now < deadline ? static_cast<DWORD>(deadline - now)
                                                             : 0) == WAIT_TIMEOUT) {
        report(output, "still running after " + std::to_string(limit / 1000) + " s");
        TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hProcess);
        return 1;
    }
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    if (waitedForEnter) {
        report(output, "waited for Enter");
    }
    report(output, "exit " + std::to_string(status));
    return 0;
}
