// A window's DPI and system metrics at a DPI: the per-monitor functions of Windows 10 (1607
// and later), looked up at run time, and on systems without them the system DPI's metrics
// scaled.
#pragma once

#include <windows.h>

// The DPI the window is drawn at.
UINT windowDpi(HWND window);

// GetSystemMetrics' metric as it is at that DPI.
int metricForDpi(int metric, UINT dpi);
