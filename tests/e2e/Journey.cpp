// The journey through the tabs after hashing, as a holder of the token goes through them:
// sign a file, verify it and a changed copy of it, encrypt it and decrypt the result, change
// the user PIN, save the token's journal. The files live in the --journey folder:
//   data.bin     the data, given (longer than the cipher's 1024-byte key-meshing span)
//   changed.bin  the data with one byte changed, given
//   data.sig, data.enc, data.dec, journal.bin   written by the workstation
// The report gets the signing algorithm shown, both verdicts and the PIN change's box text;
// the script judges the files.
#include "tests/e2e/Driver.h"
#include "ui/resources/Resource.h"

namespace e2e {

namespace {

constexpr DWORD kJourneyStepWait = 30000;

} // namespace

std::wstring Driver::journeyFile(const wchar_t* name) {
    return options_[L"journey"] + L"\\" + name;
}

// Moves to tab `index` with the arrow keys, as a user would (the tab control then tells the
// main window, which shows the page, creating it on its first selection); gives the page.
HWND Driver::selectTab(int index) {
    const HWND tab = GetDlgItem(main_, IDC_MAIN_TAB);
    const HWND before = findVisibleChildDialog(main_);
    LRESULT current = -1;
    send(tab, TCM_GETCURSEL, 0, 0, &current);
    if (current == index) {
        return before;
    }
    const WPARAM key = current < index ? VK_RIGHT : VK_LEFT;
    for (LRESULT step = current; step >= 0 && step != index; step += current < index ? 1 : -1) {
        PostMessageW(tab, WM_KEYDOWN, key, 1);
        PostMessageW(tab, WM_KEYUP, key, 1 | 0xC0000000L);
    }
    return await(
        L"the next tab",
        [&]() -> HWND {
            LRESULT selected = -1;
            send(tab, TCM_GETCURSEL, 0, 0, &selected);
            const HWND page = findVisibleChildDialog(main_);
            return selected == index && page != before ? page : nullptr;
        },
        kJourneyStepWait);
}

// The signing page shows before it has listed its keys, answers messages while it drops the
// input made during the listing, and fills the key's algorithm only then: input made before the
// caption is filled may be lost. Null when the page or its keys did not come.
HWND Driver::showSigningPage() {
    const HWND page = selectTab(1);
    if (page == nullptr) {
        return nullptr;
    }
    const HWND algorithm = GetDlgItem(page, IDC_SIGN_ALGORITHM);
    const bool listed = await(
                            L"the signing keys",
                            [&] { return controlText(algorithm).empty() ? nullptr : algorithm; },
                            kJourneyStepWait) != nullptr;
    return listed ? page : nullptr;
}

// Reads and closes the message box with that caption.
bool Driver::answerBox(const wchar_t* caption, const char* key) {
    const HWND box = await(
        caption, [&] { return findDialog(pid(), caption, kMessageBoxText); }, kJourneyStepWait);
    if (box == nullptr) {
        return false;
    }
    report_.line(key, controlText(GetDlgItem(box, kMessageBoxText)));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return await(
               L"the message box to close",
               [&] { return IsWindow(box) && IsWindowVisible(box) ? nullptr : main_; },
               kJourneyStepWait) != nullptr;
}

bool Driver::journey() {
    return signFile() && verifyTwice() && encryptAndDecrypt() && changePin() && saveJournal();
}

bool Driver::signFile() {
    const HWND page = showSigningPage();
    if (page == nullptr) {
        return false;
    }
    report_.line("sign-algorithm", controlText(GetDlgItem(page, IDC_SIGN_ALGORITHM)));
    browse(page, IDC_SIGN_INPUT_BROWSE, IDC_SIGN_INPUT, journeyFile(L"data.bin"));
    browse(page, IDC_SIGN_SIGNATURE_BROWSE, IDC_SIGN_SIGNATURE, journeyFile(L"data.sig"));
    PostMessageW(GetDlgItem(page, IDC_SIGN_RUN), BM_CLICK, 0, 0);
    return awaitFile(journeyFile(L"data.sig"));
}

bool Driver::verifyTwice() {
    const HWND page = selectTab(2);
    if (page == nullptr) {
        return false;
    }
    browse(page, IDC_VERIFY_INPUT_BROWSE, IDC_VERIFY_INPUT, journeyFile(L"data.bin"));
    browse(page, IDC_VERIFY_SIGNATURE_BROWSE, IDC_VERIFY_SIGNATURE, journeyFile(L"data.sig"));
    PostMessageW(GetDlgItem(page, IDC_VERIFY_RUN), BM_CLICK, 0, 0);
    if (!answerBox(L"Результат проверки подписи", "verdict")) {
        return false;
    }
    browse(page, IDC_VERIFY_INPUT_BROWSE, IDC_VERIFY_INPUT, journeyFile(L"changed.bin"));
    PostMessageW(GetDlgItem(page, IDC_VERIFY_RUN), BM_CLICK, 0, 0);
    return answerBox(L"Результат проверки подписи", "verdict");
}

bool Driver::encryptAndDecrypt() {
    const HWND page = selectTab(3);
    if (page == nullptr) {
        return false;
    }
    browse(page, IDC_CRYPT_INPUT_BROWSE, IDC_CRYPT_INPUT, journeyFile(L"data.bin"));
    browse(page, IDC_CRYPT_OUTPUT_BROWSE, IDC_CRYPT_OUTPUT, journeyFile(L"data.enc"));
    PostMessageW(GetDlgItem(page, IDC_CRYPT_RUN), BM_CLICK, 0, 0);
    if (!awaitFile(journeyFile(L"data.enc"))) {
        return false;
    }
    send(GetDlgItem(page, IDC_CRYPT_DECRYPT), BM_CLICK, 0, 0);
    browse(page, IDC_CRYPT_INPUT_BROWSE, IDC_CRYPT_INPUT, journeyFile(L"data.enc"));
    browse(page, IDC_CRYPT_OUTPUT_BROWSE, IDC_CRYPT_OUTPUT, journeyFile(L"data.dec"));
    PostMessageW(GetDlgItem(page, IDC_CRYPT_RUN), BM_CLICK, 0, 0);
    return awaitFile(journeyFile(L"data.dec"));
}

bool Driver::changePin() {
    const HWND page = selectTab(4);
    if (page == nullptr) {
        return false;
    }
    const LPARAM pin = reinterpret_cast<LPARAM>(options_[L"new-pin"].c_str());
    send(GetDlgItem(page, IDC_PINCHANGE_NEW), WM_SETTEXT, 0, pin);
    send(GetDlgItem(page, IDC_PINCHANGE_CONFIRM), WM_SETTEXT, 0, pin);
    PostMessageW(GetDlgItem(page, IDC_PINCHANGE_RUN), BM_CLICK, 0, 0);
    return answerBox(L"Результат смены PIN-кода", "pin-change");
}

bool Driver::saveJournal() {
    const HWND page = selectTab(5);
    if (page == nullptr) {
        return false;
    }
    browse(page, IDC_JOURNAL_BROWSE, IDC_JOURNAL_OUTPUT, journeyFile(L"journal.bin"));
    PostMessageW(GetDlgItem(page, IDC_JOURNAL_RUN), BM_CLICK, 0, 0);
    return awaitFile(journeyFile(L"journal.bin"));
}

} // namespace e2e
