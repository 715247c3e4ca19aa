// The keyboard journey: the workstation used without the mouse, by key strokes sent as real
// input (SendInput) to its active window, each step waiting until the program has taken it
// (the focus moved, a dialog opened or closed, a file written). The files live in the
// --keyboard folder: data.bin, given, is hashed into keyboard.dig. The report gets:
//   tab-order     the controls Tab focuses, once round from the tab row
//   shift-tab     what Shift+Tab focuses from the page's first control
//   input/output  the files chosen with Space and Enter on "Обзор", names typed
//   radio-down    the algorithm the Down arrow moves to, and whether it is then checked
//   enter-escape  what Enter, Escape and Ctrl+Break on a radio button did to the window and
//                 the token
//   sign-first    what Tab focuses after the Right arrow on the tab row opened the next page
// The PIN is typed and confirmed with Enter; Alt+F4 ends the program.
#include "tests/e2e/Driver.h"
#include "ui/resources/Resource.h"

#include <vector>

namespace e2e {

namespace {

constexpr DWORD kKeyWait = 15000;
constexpr DWORD kCommandWait = 30000;

INPUT keyInput(WORD key, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = flags;
    return input;
}

// One stroke of the key, with the modifier held around it when one is given.
void stroke(WORD key, WORD modifier = 0) {
    std::vector<INPUT> inputs;
    if (modifier != 0) {
        inputs.push_back(keyInput(modifier, 0));
    }
    inputs.push_back(keyInput(key, 0));
    inputs.push_back(keyInput(key, KEYEVENTF_KEYUP));
    if (modifier != 0) {
        inputs.push_back(keyInput(modifier, KEYEVENTF_KEYUP));
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void type(const std::wstring& text) {
    std::vector<INPUT> inputs;
    for (const wchar_t unit : text) {
        for (const DWORD flags :
             {DWORD{KEYEVENTF_UNICODE}, DWORD{KEYEVENTF_UNICODE | KEYEVENTF_KEYUP}}) {
            INPUT input = keyInput(0, flags);
            input.ki.wScan = unit;
            inputs.push_back(input);
        }
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

bool journalHas(HWND main, const wchar_t* line) {
    LRESULT index = LB_ERR;
    send(GetDlgItem(main, IDC_MAIN_JOURNAL), LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
         reinterpret_cast<LPARAM>(line), &index);
    return index != LB_ERR;
}

} // namespace

HWND Driver::focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(process_.dwThreadId, &info) ? info.hwndFocus : nullptr;
}

HWND Driver::strokeForFocus(WORD key, WORD modifier) {
    const HWND from = focus();
    stroke(key, modifier);
    return await(
        L"the focus to move",
        [&]() -> HWND {
            const HWND now = focus();
            return now != from ? now : nullptr;
        },
        kKeyWait);
}

bool Driver::tabTo(HWND control) {
    for (int step = 0; step < 30 && focus() != control; ++step) {
        if (strokeForFocus(VK_TAB) == nullptr) {
            return false;
        }
    }
    return focus() == control;
}

// Opens the file dialog with the key on the focused button, types the name into it and
// confirms it with Enter; the text the page then shows in `edit`.
std::wstring Driver::chooseFileByKeys(WORD key, HWND page, int edit, const std::wstring& path) {
    stroke(key);
    const HWND dialog = await(
        L"a file dialog", [&] { return findDialog(pid(), nullptr, kFileNameCombo); }, kKeyWait);
    const HWND name = dialog != nullptr ? findEdit(GetDlgItem(dialog, kFileNameCombo)) : nullptr;
    if (name == nullptr ||
        await(
            L"the file name box", [&] { return focus() == name ? name : nullptr; }, kKeyWait) ==
            nullptr) {
        return {};
    }
    type(path);
    stroke(VK_RETURN);
    await(
        L"the file dialog to close",
        [&] { return IsWindow(dialog) && IsWindowVisible(dialog) ? nullptr : dialog; }, kKeyWait);
    return controlText(GetDlgItem(page, edit));
}

bool Driver::keyboard(HWND pinDialog) {
    const HWND pinEdit = GetDlgItem(pinDialog, IDC_PIN_EDIT);
    if (await(
            L"the PIN field's focus", [&] { return focus() == pinEdit ? pinEdit : nullptr; },
            kKeyWait) == nullptr) {
        return false;
    }
    type(options_[L"pin"]);
    stroke(VK_RETURN);
    if (await(
            L"the login",
            [&] {
                return journalHas(main_, L"C_Login -> CKR_OK") && !IsWindowVisible(pinDialog)
                           ? main_
                           : nullptr;
            },
            kCommandWait) == nullptr) {
        return false;
    }

    const HWND tab = GetDlgItem(main_, IDC_MAIN_TAB);
    const HWND page = findVisibleChildDialog(main_);
    if (page == nullptr || !tabTo(tab)) {
        report_.line("failure", L"Tab does not reach the tab row");
        return false;
    }
    std::wstring order;
    for (int step = 0; step < 30; ++step) {
        const HWND now = strokeForFocus(VK_TAB);
        if (now == nullptr) {
            return false;
        }
        order += (order.empty() ? L"" : L" ") + std::to_wstring(GetDlgCtrlID(now));
        if (now == tab) {
            break;
        }
    }
    report_.line("tab-order", order);
    if (strokeForFocus(VK_TAB) == nullptr) {
        return false;
    }
    const HWND back = strokeForFocus(VK_TAB, VK_SHIFT);
    report_.line("shift-tab", std::to_wstring(back != nullptr ? GetDlgCtrlID(back) : 0));

    const std::wstring input = options_[L"keyboard"] + L"\\data.bin";
    const std::wstring output = options_[L"keyboard"] + L"\\keyboard.dig";
    if (!tabTo(GetDlgItem(page, IDC_HASH_INPUT_BROWSE))) {
        return false;
    }
    report_.line("input", chooseFileByKeys(VK_SPACE, page, IDC_HASH_INPUT, input));
    if (!tabTo(GetDlgItem(page, IDC_HASH_OUTPUT_BROWSE))) {
        return false;
    }
    report_.line("output", chooseFileByKeys(VK_RETURN, page, IDC_HASH_OUTPUT, output));

    // Tab enters the algorithm group at its checked button.
    const HWND first = strokeForFocus(VK_TAB);
    const HWND next = first != nullptr ? strokeForFocus(VK_DOWN) : nullptr;
    if (next == nullptr) {
        return false;
    }
    LRESULT checked = 0;
    send(next, BM_GETCHECK, 0, 0, &checked);
    report_.line("radio-down", std::to_wstring(GetDlgCtrlID(next)) +
                                   (checked == BST_CHECKED ? L" checked" : L" unchecked"));

    // Enter, Escape and Ctrl+Break (VK_CANCEL, which the dialog manager takes for Escape) on
    // the radio button, "Выполнить" enabled; Tab then shows that the keys were taken.
    stroke(VK_RETURN);
    stroke(VK_ESCAPE);
    stroke(VK_CANCEL, VK_CONTROL);
    const HWND run = GetDlgItem(page, IDC_HASH_RUN);
    if (strokeForFocus(VK_TAB) != run) {
        report_.line("failure", L"Tab after the algorithms does not reach the enabled command");
        return false;
    }
    const bool open = !exited() && IsWindowVisible(main_);
    const bool ran = GetFileAttributesW(output.c_str()) != INVALID_FILE_ATTRIBUTES ||
                     journalHas(main_, L"C_DigestInit -> CKR_OK");
    report_.line("enter-escape", std::wstring(open ? L"open" : L"closed") +
                                     (ran ? L", a command ran" : L", nothing ran"));
    stroke(VK_RETURN);
    // The file is written before the command ends and drops the keys pressed meanwhile.
    if (!awaitFile(output) || !awaitIdle()) {
        return false;
    }

    if (!tabTo(tab)) {
        return false;
    }
    stroke(VK_RIGHT);
    // The page is shown before it lists its keys, and keys pressed while the token lists them
    // are dropped: the stroke waits until the program takes messages again.
    if (await(
            L"the next page",
            [&]() -> HWND {
                const HWND shown = findVisibleChildDialog(main_);
                return shown != page ? shown : nullptr;
            },
            kCommandWait) == nullptr ||
        !awaitIdle()) {
        return false;
    }
    const HWND entered = strokeForFocus(VK_TAB);
    report_.line("sign-first", std::to_wstring(entered != nullptr ? GetDlgCtrlID(entered) : 0));

    // Back on the tab row first: Wine's combo box keeps Alt+F4 from the window.
    if (entered == nullptr || strokeForFocus(VK_TAB, VK_SHIFT) != tab) {
        return false;
    }
    stroke(VK_F4, VK_MENU);
    return true;
}

} // namespace e2e
