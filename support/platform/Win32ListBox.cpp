#include "support/platform/Win32ListBox.h"

std::int32_t Win32ListBox::append(const std::u16string& line) {
    // Index -1 inserts after the last item, so a list box with the sorted style keeps the
    // lines in the order they were written. LB_ERR and LB_ERRSPACE arrive as -1 and -2.
    const LRESULT answer = SendMessageW(listBox_, LB_INSERTSTRING, static_cast<WPARAM>(-1),
                                        reinterpret_cast<LPARAM>(line.c_str()));
    return static_cast<std::int32_t>(answer);
}

void Win32ListBox::select(std::int32_t index) {
    SendMessageW(listBox_, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}
