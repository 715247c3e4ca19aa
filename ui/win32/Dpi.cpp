#include "ui/win32/Dpi.h"

namespace {

template <typename Function>
Function user32Function(const char* name) {
    // USER32 is loaded with every window program; nothing is loaded here.
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

UINT systemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen != nullptr) {
        ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

} // namespace

UINT windowDpi(HWND window) {
    static const auto forWindow = user32Function<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    const UINT dpi = forWindow != nullptr ? forWindow(window) : 0;
    return dpi != 0 ? dpi : systemDpi();
}

int metricForDpi(int metric, UINT dpi) {
    static const auto forDpi = user32Function<int(WINAPI*)(int, UINT)>("GetSystemMetricsForDpi");
    if (forDpi != nullptr) {
        return forDpi(metric, dpi);
    }
    return MulDiv(GetSystemMetrics(metric), static_cast<int>(dpi), static_cast<int>(systemDpi()));
}
