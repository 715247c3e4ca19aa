#include "check/win32/Console.h"

#include "support/TextConversion.h"
#include "support/Wipe.h"

#include <windows.h>

namespace check {

namespace {

// Longer PINs are read to their end and cut here; no token takes one this long.
constexpr std::size_t kPinCapacity = 256;

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

} // namespace

Console::Console()
    : output_(GetStdHandle(STD_OUTPUT_HANDLE)), errors_(GetStdHandle(STD_ERROR_HANDLE)),
      outputIsConsole_(isConsole(output_)), errorsAreConsole_(isConsole(errors_)) {}

void Console::writeLine(const std::string& line) {
    write(output_, outputIsConsole_, line + "\r\n");
}

void Console::writeErrorLine(const std::string& line) {
    write(errors_, errorsAreConsole_, line + "\r\n");
}

void Console::readPin(std::string& pin) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == INVALID_HANDLE_VALUE || input == nullptr) {
        return;
    }
    if (isConsole(input)) {
        readPinFromConsole(input, pin);
    } else {
        readPinLine(input, pin);
    }
}

void Console::readPinFromConsole(void* input, std::string& pin) {
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
    while (!lineEnded) {
        DWORD read = 0;
        if (!ReadConsoleW(input, chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr) ||
            read == 0) {
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
    std::string converted = wideToUtf8(typed);
    pin.assign(converted);
    secureWipe(converted);
}

void Console::readPinLine(void* input, std::string& pin) {
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

} // namespace check
