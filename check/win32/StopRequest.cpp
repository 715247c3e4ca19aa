#include "check/win32/StopRequest.h"

#include "check/win32/Console.h"

#include <atomic>
#include <windows.h>

namespace check::stop {

namespace {

std::atomic<bool> stopRequested{false};
HANDLE stopEvent = nullptr;

BOOL WINAPI onControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    if (stopRequested.exchange(true)) {
        return FALSE;
    }
    SetEvent(stopEvent);
    Console().writeErrorLine("Прерывание (Ctrl+C): проверка остановится после текущего шага, "
                             "сеанс с токеном будет закрыт. Чтобы закрыть программу сразу, "
                             "нажмите Ctrl+C ещё раз.");
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

bool requested() noexcept {
    return stopRequested.load();
}

void* event() noexcept {
    return stopEvent;
}

} // namespace check::stop
