// The main window's journal list box as the operation log's list.
#pragma once

#include "support/Logger.h"

#include <windows.h>

class Win32ListBox : public LogListControl {
public:
    explicit Win32ListBox(HWND listBox) noexcept : listBox_(listBox) {}
    std::int32_t append(const std::u16string& line) override;
    void select(std::int32_t index) override;

private:
    HWND listBox_;
};
