#include "check/win32/StopRequest.h"

#include "check/win32/Console.h"

#include <atomic>
#include <windows.h>

namespace check::stop {

namespace {

std::atomic<bool> stopRequested{false};
std::atomic<bool> pressed{false};
HANDLE stopEvent = nullptr;

BOOL WINAPI onControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    if (pressed.exchange(true)) {
        return FALSE;
    }
    // Said before the request is signalled, so that it comes before anything the run writes
    // once it sees the request.
    Console().writeErrorLine("Прерывание (Ctrl+C): проверка остановится после текущего шага, "
                             "сеанс с токеном будет закрыт. Чтобы закрыть программу сразу, "
                             "нажмите Ctrl+C ещё раз.");
    request();
    return TRUE;
}

} // namespace

void install() noexcept {
    stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(onControl, TRUE);
}

void uninstall() noexcept {
    SetConsoleCtrlHandler(onControl, FALSE);
}

void request() noexcept {
    stopRequested = true;
    SetEvent(stopEvent);
}

bool requested() noexcept {
    return stopRequested.load();
}

void* event() noexcept {
    return stopEvent;
}

} // namespace check::stop
