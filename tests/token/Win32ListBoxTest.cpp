// The operation log on a real list box with the journal's sorted style.
#include "support/platform/Win32ListBox.h"

#include "support/Logger.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace {

std::wstring item(HWND listBox, int index) {
    const LRESULT length = SendMessageW(listBox, LB_GETTEXTLEN, index, 0);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    SendMessageW(listBox, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    return text;
}

TEST(Win32ListBox, LinesStayInCallOrderAndTheNewestIsSelected) {
    HWND listBox = CreateWindowExW(0, L"LISTBOX", L"", LBS_NOTIFY | LBS_SORT | WS_VSCROLL, 0, 0,
                                   200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (listBox == nullptr) {
        GTEST_SKIP() << "no window system";
    }
    getLogger().setListBox(std::make_shared<Win32ListBox>(listBox));
    getLogger().write("C_Initialize -> CKR_OK");
    getLogger().write("C_GetSlotList -> CKR_OK");
    getLogger().write("Журнал");
    EXPECT_EQ(SendMessageW(listBox, LB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(item(listBox, 0), L"C_Initialize -> CKR_OK");
    EXPECT_EQ(item(listBox, 1), L"C_GetSlotList -> CKR_OK");
    EXPECT_EQ(item(listBox, 2), L"Журнал");
    EXPECT_EQ(SendMessageW(listBox, LB_GETCURSEL, 0, 0), 2);
    getLogger().setListBox(nullptr);
    DestroyWindow(listBox);
}

} // namespace
