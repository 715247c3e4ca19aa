// The main window, its pages and the PIN dialog created from the real resources in this
// process, against the software token, and scripted as a user would: posted commands, the
// tab control, the dialogs and message boxes answered through a CBT hook.
#include "DialogScript.h"
#include "tests/token/EmulatorFixture.h"
#include "ui/resources/Resource.h"
#include "ui/win32/MainWindow.h"

#include <fstream>

namespace {

using namespace std::chrono_literals;

const std::wstring kPinCaption = L"Введите PIN-код";

HWND tabOf(HWND main) {
    return GetDlgItem(main, IDC_MAIN_TAB);
}

std::wstring itemText(HWND dialog, int id) {
    return windowText(GetDlgItem(dialog, id));
}

// How often the journal list holds the line.
std::size_t countLines(HWND main, const std::wstring& line) {
    HWND list = GetDlgItem(main, IDC_MAIN_JOURNAL);
    std::size_t found = 0;
    for (int index = 0; index < SendMessageW(list, LB_GETCOUNT, 0, 0); ++index) {
        std::wstring text(static_cast<std::size_t>(SendMessageW(list, LB_GETTEXTLEN, index, 0)),
                          L'\0');
        SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
        found += text == line ? 1 : 0;
    }
    return found;
}

// The page windows of the main window that are shown.
std::vector<HWND> shownPages(HWND main) {
    std::vector<HWND> pages;
    for (HWND page = FindWindowExW(main, nullptr, L"#32770", nullptr); page != nullptr;
         page = FindWindowExW(main, page, L"#32770", nullptr)) {
        // The style, not IsWindowVisible: the main window itself may still be hidden.
        if ((GetWindowLongPtrW(page, GWL_STYLE) & WS_VISIBLE) != 0) {
            pages.push_back(page);
        }
    }
    return pages;
}

// The width of the window's icon of that kind (ICON_SMALL, ICON_BIG); 0 without one.
int iconWidth(HWND window, WPARAM kind) {
    ICONINFO info{};
    if (!GetIconInfo(reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, kind, 0)), &info)) {
        return 0;
    }
    BITMAP bitmap{};
    GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

// Where a page stands inside the tab control.
POINT placeInTab(HWND main, HWND page) {
    RECT placed{};
    GetWindowRect(page, &placed);
    MapWindowPoints(nullptr, tabOf(main), reinterpret_cast<POINT*>(&placed), 2);
    return {placed.left, placed.top};
}

// Selects a tab as the tab control would, which notifies its parent.
void selectTab(HWND main, int index) {
    SendMessageW(tabOf(main), TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    NMHDR header{tabOf(main), IDC_MAIN_TAB, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageW(main, WM_NOTIFY, IDC_MAIN_TAB, reinterpret_cast<LPARAM>(&header));
}

void click(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

class ShellWindowTest : public EmulatorTest {
protected:
    void SetUp() override {
        EmulatorTest::SetUp();
        const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                            ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
        InitCommonControlsEx(&controls);
        // The PIN dialog gets the demo PIN; message boxes are acknowledged, a question with
        // Yes; a file dialog gets `fileName` typed once, and is cancelled without one.
        script_.setAnswer([this](HWND dialog) {
            if (windowText(dialog) == kPinCaption) {
                SetDlgItemTextW(dialog, IDC_PIN_EDIT, L"12345678");
                PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            } else if (DialogScript::isFileDialog(dialog)) {
                DialogScript::typeFileName(dialog, fileName);
                fileName.clear();
            } else {
                PostMessageW(dialog, WM_COMMAND, GetDlgItem(dialog, IDYES) ? IDYES : IDOK, 0);
            }
        });
    }

    void TearDown() override {
        // Whatever a failed case left: the windows go, the quit message is taken.
        if (main_ != nullptr && IsWindow(main_)) {
            DestroyWindow(main_);
        }
        getLogger().setListBox(nullptr);
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
        }
        for (const std::wstring& file : scratch_) {
            DeleteFileW(file.c_str());
        }
        EmulatorTest::TearDown();
    }

    // A file name in the temporary folder, for this process; the file goes when the test ends.
    std::wstring scratchFile(const std::wstring& name) {
        wchar_t folder[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, folder);
        scratch_.push_back(folder +
                           (L"qrd-shell-" + std::to_wstring(GetCurrentProcessId()) + L"-" + name));
        return scratch_.back();
    }

    // The main window started on the state and logged in with the demo PIN.
    HWND startLoggedIn(const emulator::State& state) {
        writeState(state);
        main_ = createMainWindow(GetModuleHandleW(nullptr));
        EXPECT_NE(main_, nullptr);
        ShowWindow(main_, SW_SHOW);
        const bool started =
            script_.pumpUntil([this] { return countLines(main_, L"C_Login -> CKR_OK") == 1; });
        EXPECT_TRUE(started) << "no login; seen " << script_.seen().size() << " dialogs";
        return started ? main_ : nullptr;
    }

    // Closes the main window as its close box does; whether its loop ended.
    bool closeMain() {
        PostMessageW(main_, WM_CLOSE, 0, 0);
        script_.pumpUntil([] { return false; });
        return script_.quitSeen() && !script_.timedOut();
    }

    DialogScript script_{60s};
    HWND main_ = nullptr;
    std::wstring fileName;
    std::vector<std::wstring> scratch_;
};

TEST_F(ShellWindowTest, StartsShowsTheTokenLogsInAndClosesOnce) {
    emulator::State state = demo();
    tokenOf(state).serial = "0012AB34";
    const std::string label = "Мой токен";
    tokenOf(state).label.assign(label.begin(), label.end());
    tokenOf(state).checksum = 0x1A2B3C;
    writeState(state);

    main_ = createMainWindow(GetModuleHandleW(nullptr));
    ASSERT_NE(main_, nullptr);
    EXPECT_FALSE(IsWindowVisible(main_)) << "created hidden";
    // The program's icon on the caption and the taskbar, at the system's sizes.
    EXPECT_EQ(iconWidth(main_, ICON_SMALL), GetSystemMetrics(SM_CXSMICON));
    EXPECT_EQ(iconWidth(main_, ICON_BIG), GetSystemMetrics(SM_CXICON));
    const std::vector<std::wstring> captions{L"Хэширование", L"Подпись",        L"Проверка подписи",
                                             L"Шифрование",  L"Смена PIN-кода", L"Журнал операции"};
    ASSERT_EQ(SendMessageW(tabOf(main_), TCM_GETITEMCOUNT, 0, 0), 6);
    for (int index = 0; index < 6; ++index) {
        wchar_t text[64] = {};
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = 64;
        SendMessageW(tabOf(main_), TCM_GETITEMW, index, reinterpret_cast<LPARAM>(&item));
        EXPECT_EQ(text, captions[static_cast<std::size_t>(index)]) << "tab " << index;
    }
    // Page 0 exists before the token is opened.
    ASSERT_EQ(shownPages(main_).size(), 1U);
    EXPECT_NE(GetDlgItem(shownPages(main_)[0], IDC_HASH_OUTPUT_BROWSE), nullptr);

    ShowWindow(main_, SW_SHOW);
    ASSERT_TRUE(script_.pumpUntil([this] { return countLines(main_, L"C_Login -> CKR_OK") == 1; }));
    ASSERT_EQ(script_.seen().size(), 1U);
    EXPECT_EQ(script_.seen()[0].caption, kPinCaption);
    EXPECT_EQ(itemText(main_, IDC_MAIN_SERIAL), L"0001223476");
    EXPECT_EQ(itemText(main_, IDC_MAIN_LABEL), L"Мой токен");
    EXPECT_EQ(itemText(main_, IDC_MAIN_CHECKSUM), L"001a2b3c (OK)");
    EXPECT_EQ(countLines(main_, L"C_Initialize -> CKR_OK"), 1U);
    EXPECT_TRUE(script_.settle()) << "the program goes on after the login";
    EXPECT_EQ(shownPages(main_).size(), 1U);

    // The second close command arrives before the quit message is taken.
    PostMessageW(main_, WM_COMMAND, IDCANCEL, 0);
    PostMessageW(main_, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(runMessageLoop(GetModuleHandleW(nullptr), main_, SW_SHOW), 0);
    EXPECT_EQ(script_.seen().size(), 1U) << "no error box at shutdown";
    EXPECT_EQ(countLines(main_, L"C_Finalize -> CKR_OK"), 1U);
    EXPECT_FALSE(moduleLoaded());
    EXPECT_TRUE(shownPages(main_).empty()) << "the pages are destroyed";
}

TEST_F(ShellWindowTest, AFailedStartShowsOneErrorAndEnds) {
    emulator::State state;
    state.slots.emplace_back(std::nullopt); // one empty slot
    writeState(state);

    main_ = createMainWindow(GetModuleHandleW(nullptr));
    ASSERT_NE(main_, nullptr);
    EXPECT_EQ(runMessageLoop(GetModuleHandleW(nullptr), main_, SW_SHOW), 0);
    ASSERT_EQ(script_.seen().size(), 1U) << "no PIN dialog";
    EXPECT_EQ(script_.seen()[0].caption, L"Ошибка");
    EXPECT_EQ(script_.seen()[0].text, L"Не обнаружено ни одного токена");
    EXPECT_FALSE(moduleLoaded());
}

// The user logs off while a command's box stands: the token is closed at once, as the close
// command closes it, the command then ends on its page, and a later close does nothing more.
TEST_F(ShellWindowTest, TheSessionsEndClosesTheTokenOnceEvenFromACommandsBox) {
    ASSERT_NE(startLoggedIn(demo()), nullptr);
    EXPECT_NE(SendMessageW(main_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), 0)
        << "the program lets the session end";
    SendMessageW(main_, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF); // cancelled by another program
    EXPECT_EQ(countLines(main_, L"C_Finalize -> CKR_OK"), 0U);

    selectTab(main_, 4);
    HWND page = shownPages(main_).at(0);
    SetDlgItemTextW(page, IDC_PINCHANGE_NEW, L"24681357");
    SetDlgItemTextW(page, IDC_PINCHANGE_CONFIRM, L"24681357");
    script_.setAnswer([this](HWND box) {
        SendMessageW(main_, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    click(page, IDC_PINCHANGE_RUN);
    script_.pumpUntil([] { return false; });
    EXPECT_TRUE(script_.quitSeen() && !script_.timedOut());
    ASSERT_EQ(script_.seen().size(), 2U) << "the PIN dialog, the PIN change's box";
    EXPECT_EQ(script_.seen()[1].text, L"PIN-код успешно установлен");
    EXPECT_EQ(countLines(main_, L"C_Finalize -> CKR_OK"), 1U);
    EXPECT_FALSE(moduleLoaded());
    EXPECT_TRUE(shownPages(main_).empty()) << "the pages are destroyed";

    PostMessageW(main_, WM_COMMAND, IDCANCEL, 0);
    script_.settle(); // the close command is dispatched
    EXPECT_EQ(countLines(main_, L"C_Finalize -> CKR_OK"), 1U);
    EXPECT_EQ(script_.seen().size(), 2U) << "no error box";
}

TEST_F(ShellWindowTest, EachTabShowsItsOwnPageCreatedOnce) {
    ASSERT_NE(startLoggedIn(demo()), nullptr);
    const std::wstring search = L"C_FindObjectsInit -> CKR_OK";

    selectTab(main_, 3);
    ASSERT_EQ(shownPages(main_).size(), 1U);
    HWND encryption = shownPages(main_)[0];
    EXPECT_NE(GetDlgItem(encryption, IDC_CRYPT_ENCRYPT), nullptr) << "template 130";
    EXPECT_NE(GetDlgItem(encryption, IDC_CRYPT_DECRYPT), nullptr);
    const auto keys = SendMessageW(GetDlgItem(encryption, IDC_CRYPT_KEY), CB_GETCOUNT, 0, 0);
    EXPECT_EQ(keys, 2) << "the demo token's secret keys";

    // Placed at the tab control's display area.
    RECT area{};
    SendMessageW(tabOf(main_), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    EXPECT_EQ(placeInTab(main_, encryption).x, area.left);
    EXPECT_EQ(placeInTab(main_, encryption).y, area.top);

    SetDlgItemTextW(encryption, IDC_CRYPT_INPUT, L"C:\\данные\\отчёт.txt");
    // An arrow key to the tab control, which notifies the main window itself.
    PostMessageW(tabOf(main_), WM_KEYDOWN, VK_LEFT, 0);
    ASSERT_TRUE(script_.pumpUntil(
        [this, encryption] { return shownPages(main_) != std::vector<HWND>{encryption}; }));
    ASSERT_EQ(shownPages(main_).size(), 1U);
    EXPECT_NE(GetDlgItem(shownPages(main_)[0], IDC_VERIFY_RUN), nullptr) << "tab 2 verifies";
    const std::size_t searches = countLines(main_, search);

    selectTab(main_, 3);
    ASSERT_EQ(shownPages(main_), std::vector<HWND>{encryption});
    EXPECT_EQ(itemText(encryption, IDC_CRYPT_INPUT), L"C:\\данные\\отчёт.txt");
    EXPECT_EQ(SendMessageW(GetDlgItem(encryption, IDC_CRYPT_KEY), CB_GETCOUNT, 0, 0), keys);
    EXPECT_EQ(countLines(main_, search), searches) << "no second set-up";
    EXPECT_EQ(script_.seen().size(), 1U) << "no error box";
    EXPECT_TRUE(closeMain());
}

TEST_F(ShellWindowTest, TheHashingPagesFileDialogsChooseTheFilesItHashes) {
    ASSERT_NE(startLoggedIn(demo()), nullptr);
    HWND page = shownPages(main_).at(0);
    const std::wstring chosen = scratchFile(L"digest.dig");
    const std::wstring name = chosen.substr(0, chosen.size() - 4); // typed without extension

    fileName = name;
    click(page, IDC_HASH_OUTPUT_BROWSE);
    ASSERT_TRUE(script_.pumpUntil([&] { return fileName.empty() && script_.seen().size() > 1; }));
    EXPECT_EQ(itemText(page, IDC_HASH_OUTPUT), chosen);
    ASSERT_EQ(script_.seen().size(), 2U) << "no overwrite prompt for a new file";

    std::ofstream(std::filesystem::path(chosen)) << "old";
    SetDlgItemTextW(page, IDC_HASH_OUTPUT, L"");
    fileName = name;
    click(page, IDC_HASH_OUTPUT_BROWSE);
    ASSERT_TRUE(script_.pumpUntil([&] { return !itemText(page, IDC_HASH_OUTPUT).empty(); }));
    EXPECT_EQ(itemText(page, IDC_HASH_OUTPUT), chosen);
    ASSERT_EQ(script_.seen().size(), 4U) << "the save dialog, then its overwrite prompt";
    EXPECT_FALSE(script_.seen()[3].text.empty()) << "a message box over the save dialog";

    // The open dialog's one filter has no pattern; a typed name is still taken.
    const std::wstring input = scratchFile(L"digest.txt");
    std::ofstream(std::filesystem::path(input)) << "abc";
    fileName = input;
    click(page, IDC_HASH_INPUT_BROWSE);
    ASSERT_TRUE(script_.pumpUntil([&] { return !itemText(page, IDC_HASH_INPUT).empty(); }));
    EXPECT_EQ(itemText(page, IDC_HASH_INPUT), input);
    ASSERT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_HASH_RUN)));
    click(page, IDC_HASH_RUN);
    ASSERT_TRUE(script_.settle());
    EXPECT_EQ(std::filesystem::file_size(std::filesystem::path(chosen)), 32U) << "GOST R 34.11-94";
    EXPECT_EQ(script_.seen().size(), 5U) << "no error box";
    EXPECT_TRUE(closeMain());
}

std::wstring currentFolder() {
    std::wstring folder(GetCurrentDirectoryW(0, nullptr), L'\0');
    folder.resize(GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));
    return folder;
}

// A read-only file is an input like any other (Wine's dialog takes one even when asked to
// refuse it, Windows' does not); no dialog leaves the process's current folder in the chosen
// file's folder (which would keep a USB stick in use); a path longer than the dialog's buffer
// is refused in an error box and chooses nothing.
TEST_F(ShellWindowTest, FileDialogsTakeReadOnlyInputsKeepTheFolderAndRefuseLongPaths) {
    ASSERT_NE(startLoggedIn(demo()), nullptr);
    HWND page = shownPages(main_).at(0);
    const std::wstring folder = currentFolder();
    const std::wstring input = scratchFile(L"read-only.txt");
    std::ofstream(std::filesystem::path(input)) << "abc";
    ASSERT_TRUE(SetFileAttributesW(input.c_str(), FILE_ATTRIBUTE_READONLY));
    struct Writable {
        const std::wstring& file;
        ~Writable() { SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL); }
    } writable{input};

    fileName = input;
    click(page, IDC_HASH_INPUT_BROWSE);
    ASSERT_TRUE(script_.pumpUntil([&] { return !itemText(page, IDC_HASH_INPUT).empty(); }));
    EXPECT_EQ(itemText(page, IDC_HASH_INPUT), input);
    EXPECT_EQ(script_.seen().size(), 2U) << "no box over the open dialog";
    EXPECT_EQ(currentFolder(), folder);

    const std::size_t seen = script_.seen().size();
    // One unit more than the 260-unit buffer holds with its terminating zero. (Wine's dialog
    // itself fails on longer paths.)
    const std::wstring temporary = input.substr(0, input.rfind(L'\\') + 1);
    fileName = temporary + std::wstring(MAX_PATH - temporary.size() - 4, L'n') + L".dig";
    click(page, IDC_HASH_OUTPUT_BROWSE);
    ASSERT_TRUE(script_.pumpUntil([&] { return script_.seen().size() == seen + 2; }));
    EXPECT_EQ(script_.seen().back().caption, L"Ошибка");
    EXPECT_EQ(script_.seen().back().text, L"Путь к файлу слишком длинный");
    EXPECT_EQ(itemText(page, IDC_HASH_OUTPUT), L"");
    EXPECT_EQ(currentFolder(), folder);
    EXPECT_TRUE(closeMain());
}

TEST_F(ShellWindowTest, TheKeyDropDownShowsItsWidestNameBesideItsScrollBar) {
    // More private keys than the dropped list shows at once (30), the widest name neither
    // first nor last.
    emulator::State state = demo();
    std::vector<emulator::KeyObject>& objects = tokenOf(state).objects;
    const emulator::KeyObject signing = objects.at(0);
    objects.clear();
    for (int index = 0; index < 40; ++index) {
        emulator::KeyObject key = signing;
        key.handle = static_cast<std::uint32_t>(index + 1);
        const std::string label = index == 17
                                      ? "Ключ подписи с очень длинной меткой, шире самого списка"
                                      : "Ключ " + std::string(index % 7, 'x');
        key.label.assign(label.begin(), label.end());
        objects.push_back(key);
    }
    ASSERT_NE(startLoggedIn(state), nullptr);
    selectTab(main_, 1);
    HWND combo = GetDlgItem(shownPages(main_).at(0), IDC_SIGN_KEY);
    ASSERT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 40);

    // The widest name as the combo box's own font draws it.
    HDC dc = GetDC(combo);
    HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(combo, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    int widest = 0;
    for (int index = 0; index < 40; ++index) {
        wchar_t text[256] = {};
        const auto length =
            SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
        SIZE size{};
        GetTextExtentPoint32W(dc, text, static_cast<int>(length), &size);
        widest = std::max(widest, static_cast<int>(size.cx));
    }
    SelectObject(dc, previous);
    ReleaseDC(combo, dc);

    const int frame = GetSystemMetrics(SM_CXVSCROLL) + 2 * GetSystemMetrics(SM_CXEDGE);
    RECT box{};
    GetWindowRect(combo, &box);
    // Narrower than the name, so that the platform's own minimum does not hide the width set.
    ASSERT_LT(box.right - box.left, widest + frame);
    const auto dropped = static_cast<int>(SendMessageW(combo, CB_GETDROPPEDWIDTH, 0, 0));
    EXPECT_GE(dropped, widest + frame);
    EXPECT_LE(dropped, widest + metrics.tmAveCharWidth + frame) << "no wider than needed";

    // Dropped, the list scrolls, and what its scroll bar leaves shows the widest name whole.
    COMBOBOXINFO parts{};
    parts.cbSize = sizeof parts;
    ASSERT_TRUE(GetComboBoxInfo(combo, &parts));
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    ASSERT_NE(GetWindowLongPtrW(parts.hwndList, GWL_STYLE) & WS_VSCROLL, 0) << "no scroll bar";
    RECT shown{};
    GetClientRect(parts.hwndList, &shown);
    EXPECT_GT(shown.right, widest);
    SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);

    EXPECT_TRUE(closeMain());
}

} // namespace
