#include "check/win32/Console.h"

#include "support/TextConversion.h"
#include "support/Wipe.h"

#include <atomic>
#include <exception>
#include <windows.h>

namespace check {

namespace {

// Longer PINs are read to their end and cut here; no token takes one this long.
constexpr std::size_t kPinCapacity = 256;

// Ctrl+C ends a console read at once, usually before the system has run the control handler
// on a thread of its own; the handler is given this long to record the request.
constexpr DWORD kControlHandlerWait = 2000;

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}

void write(HANDLE handle, bool console, const std::string& text) {
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr) {
        return;
    }
    if (console) {
        const std::u16string wide = utf8ToWideForDisplay(text);
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        DWORD written = 0;
        WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
}

// False when Ctrl+C (or Ctrl+Break) ended the read: nothing is kept of what was typed.
bool readPinFromConsole(HANDLE input, std::string& pin) {
    // The prompt goes to the console the PIN is typed into, wherever the output goes.
    HANDLE screen = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    write(screen, true, "Введите PIN-код пользователя (ввод не отображается): ");

    DWORD mode = 0;
    GetConsoleMode(input, &mode);
    SetConsoleMode(input, (mode & ~ENABLE_ECHO_INPUT) | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT);
    std::u16string typed;
    const WipeOnExit wipeTyped{typed};
    typed.reserve(kPinCapacity);
    std::u16string chunk(64, u'\0');
    const WipeOnExit wipeChunk{chunk};
    bool lineEnded = false;
    bool interrupted = false;
    while (!lineEnded) {
        DWORD read = 0;
        SetLastError(ERROR_SUCCESS);
        if (!ReadConsoleW(input, chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr) ||
            read == 0) {
            interrupted = GetLastError() == ERROR_OPERATION_ABORTED;
            break;
        }
        for (DWORD i = 0; i < read && !lineEnded; ++i) {
            const char16_t unit = chunk[i];
            if (unit == u'\n') {
                lineEnded = true;
            } else if (unit != u'\r' && typed.size() < kPinCapacity) {
                typed.push_back(unit);
            }
        }
    }
    SetConsoleMode(input, mode);
    // The line end typed after the PIN was not echoed either.
    write(screen, true, "\r\n");
    if (screen != INVALID_HANDLE_VALUE) {
        CloseHandle(screen);
    }
    if (interrupted) {
        return false;
    }
    std::string converted = wideToUtf8(typed);
    pin.assign(converted);
    secureWipe(converted);
    return true;
}

void readPinLine(HANDLE input, std::string& pin) {
    // Room for the longest PIN kept, so that growing never leaves a copy behind.
    pin.reserve(kPinCapacity);
    char byte = 0;
    DWORD read = 0;
    while (ReadFile(input, &byte, 1, &read, nullptr) && read == 1 && byte != '\n') {
        if (byte != '\r' && pin.size() < kPinCapacity) {
            pin.push_back(byte);
        }
    }
    secureWipe(&byte, sizeof byte);
}

// One PIN read on a thread of its own. The thread and the waiting caller share it, and the
// last of them to let go wipes the PIN and frees it: a read given up by the caller stays
// valid until its thread returns.
struct PendingPin {
    HANDLE input;
    bool console;
    HANDLE finished = nullptr;
    std::string pin = {};
    bool interrupted = false;
    std::exception_ptr failure = {};
    std::atomic<int> holders{2};
};

// False when Ctrl+C ended the read.
bool readPinFrom(HANDLE input, bool console, std::string& pin) {
    if (console) {
        return readPinFromConsole(input, pin);
    }
    readPinLine(input, pin);
    return true;
}

void release(PendingPin* pending) noexcept {
    if (pending->holders.fetch_sub(1) == 1) {
        secureWipe(pending->pin.data(), pending->pin.capacity());
        CloseHandle(pending->finished);
        delete pending;
    }
}

DWORD WINAPI readPending(void* parameter) {
    auto* pending = static_cast<PendingPin*>(parameter);
    try {
        pending->interrupted = !readPinFrom(pending->input, pending->console, pending->pin);
    } catch (...) {
        // Handed to the caller, which throws it again in its own thread.
        pending->failure = std::current_exception();
    }
    SetEvent(pending->finished);
    release(pending);
    return 0;
}

bool aloneInConsole() {
    DWORD processes[2];
    return GetConsoleProcessList(processes, 2) == 1;
}

// Whether someone can see the console and type into it: it has a window (CREATE_NO_WINDOW
// gives it none) that its starter did not ask to hide, where it is this program's own (a
// console shared with the starter is the starter's), on the interactive window station (not a
// service's, nor that of a scheduled task run whether its user is logged on or not).
bool consoleIsSeen(bool own) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    if (GetConsoleWindow() == nullptr ||
        (own && (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 && startup.wShowWindow == SW_HIDE)) {
        return false;
    }
    USEROBJECTFLAGS station{};
    return GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &station, sizeof station,
                                     nullptr) != FALSE &&
           (station.dwFlags & WSF_VISIBLE) != 0;
}

} // namespace

Console::Console()
    : output_(GetStdHandle(STD_OUTPUT_HANDLE)), errors_(GetStdHandle(STD_ERROR_HANDLE)),
      outputIsConsole_(isConsole(output_)), errorsAreConsole_(isConsole(errors_)) {}

Console::~Console() {
    if (abandonedRead_ != nullptr) {
        CloseHandle(abandonedRead_);
    }
}

void Console::writeLine(const std::string& line) {
    write(output_, outputIsConsole_, line + "\r\n");
}

void Console::writeErrorLine(const std::string& line) {
    write(errors_, errorsAreConsole_, line + "\r\n");
}

bool Console::readPin(std::string& pin, void* stopEvent) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == INVALID_HANDLE_VALUE || input == nullptr) {
        return true;
    }
    const bool console = isConsole(input);
    if (!console) {
        writeErrorLine("PIN-код пользователя читается из стандартного ввода: первая строка.");
    } else if (!consoleIsSeen(aloneInConsole())) {
        // Nobody could type it: the read would wait for ever.
        writeErrorLine("PIN-код не запрашивается: окно консоли не видно. Подайте PIN-код на "
                       "стандартный ввод.");
        return true;
    }
    auto* pending = new PendingPin{input, console};
    pending->finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = pending->finished == nullptr
                        ? nullptr
                        : CreateThread(nullptr, 0, readPending, pending, 0, nullptr);
    if (thread == nullptr) {
        // Without a thread of its own the read cannot be given up; it is read here.
        pending->holders = 1;
        release(pending);
        return readPinFrom(input, console, pin);
    }
    const HANDLE waits[] = {pending->finished, stopEvent};
    const DWORD count = stopEvent == nullptr ? 1 : 2;
    bool given = true;
    if (WaitForMultipleObjects(count, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
        // Given up: its thread may still wait for a line of the console.
        if (abandonedRead_ != nullptr) {
            CloseHandle(abandonedRead_);
        }
        abandonedRead_ = thread;
    } else {
        CloseHandle(thread);
        if (pending->failure) {
            const std::exception_ptr failure = pending->failure;
            release(pending);
            std::rethrow_exception(failure);
        }
        if (pending->interrupted) {
            given = false;
            // The handler, which says what happens next, runs before the run goes on.
            if (stopEvent != nullptr) {
                WaitForSingleObject(stopEvent, kControlHandlerWait);
            }
        } else {
            pin.assign(pending->pin);
        }
    }
    release(pending);
    return given;
}

bool Console::ownsItsWindow() const {
    // Its input and output are the console (nothing redirected them to a file or pipe), and it
    // is alone in it: no shell started it there, so the window closes when it ends.
    return outputIsConsole_ && isConsole(GetStdHandle(STD_INPUT_HANDLE)) && aloneInConsole() &&
           consoleIsSeen(true);
}

void Console::waitForEnter() {
    HANDLE input =
        CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (!isConsole(input)) {
        if (input != INVALID_HANDLE_VALUE) {
            CloseHandle(input);
        }
        return;
    }
    HANDLE screen = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    write(screen, true, "\r\n");
    write(screen, true, "Нажмите Enter, чтобы закрыть окно.");
    // Keys pressed during the run would close the window before the results are read.
    FlushConsoleInputBuffer(input);
    if (abandonedRead_ != nullptr && WaitForSingleObject(abandonedRead_, 0) == WAIT_TIMEOUT) {
        // A PIN read given up at Ctrl+C that the console did not end: the Enter ends it.
        WaitForSingleObject(abandonedRead_, INFINITE);
    } else {
        SetConsoleMode(input, ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT);
        wchar_t chunk[64];
        DWORD read = 0;
        bool lineEnded = false;
        while (!lineEnded && ReadConsoleW(input, chunk, 64, &read, nullptr) && read > 0) {
            lineEnded = std::wstring_view(chunk, read).find(L'\n') != std::wstring_view::npos;
        }
    }
    if (screen != INVALID_HANDLE_VALUE) {
        CloseHandle(screen);
    }
    CloseHandle(input);
}

} // namespace check
