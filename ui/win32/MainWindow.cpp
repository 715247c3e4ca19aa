#include "ui/win32/MainWindow.h"

#include "support/Logger.h"
#include "support/platform/Win32ListBox.h"
#include "ui/EncryptPage.h"
#include "ui/ErrorReport.h"
#include "ui/HashPage.h"
#include "ui/JournalPage.h"
#include "ui/Page.h"
#include "ui/PinChangePage.h"
#include "ui/Shell.h"
#include "ui/SignPage.h"
#include "ui/VerifyPage.h"
#include "ui/resources/Resource.h"
#include "ui/win32/DialogKeys.h"
#include "ui/win32/QueuedMessages.h"
#include "ui/win32/Theme.h"
#include "ui/win32/Win32DialogView.h"

#include <array>
#include <commctrl.h>
#include <map>
#include <memory>

namespace {

constexpr int kPageCount = 6;

struct PageEntry {
    WORD templateId;
    const wchar_t* caption;
    std::unique_ptr<Page> (*make)();
};

template <typename P>
std::unique_ptr<Page> makePage() {
    return std::make_unique<P>();
}

// The tab index is the row's index; the order is not the order of the template ids.
const std::array<PageEntry, kPageCount> kPages{{
    {IDD_HASH_PAGE, L"Хэширование", makePage<HashPage>},
    {IDD_SIGN_PAGE, L"Подпись", makePage<SignPage>},
    {IDD_VERIFY_PAGE, L"Проверка подписи", makePage<VerifyPage>},
    {IDD_ENCRYPT_PAGE, L"Шифрование", makePage<EncryptPage>},
    {IDD_PIN_CHANGE_PAGE, L"Смена PIN-кода", makePage<PinChangePage>},
    {IDD_JOURNAL_PAGE, L"Журнал операции", makePage<JournalPage>},
}};

// The pages of one main window, from its creation until shutdown destroys them. The pages are
// children of the main window laid over the tab control's display area, first among its
// children: the dialog manager's Tab order runs from the tab row, the last child, into the
// page and on through the main window's controls.
struct PageSet {
    HWND tab = nullptr;
    HWND currentPage = nullptr;
    std::array<LPCDLGTEMPLATEW, kPageCount> templates{};
    std::array<std::unique_ptr<Page>, kPageCount> pages;
    Page* currentProcedure = nullptr;
    std::array<HWND, kPageCount> windows{};
};

// One per main window, attached as its user data from its creation until it is destroyed:
// the shell's state lives as long as the window, so that shutdown keeps it while it destroys
// the pages.
struct MainWindowState {
    ShellState shell;
    std::unique_ptr<PageSet> pages;
    // The pages after shutdown, kept with the window: the session's end can arrive while a
    // page's command waits in a modal loop (a verdict, a file dialog), and that command goes
    // on with its page when the loop ends.
    std::unique_ptr<PageSet> retired;
};

MainWindowState* stateOf(HWND mainWindow) {
    return reinterpret_cast<MainWindowState*>(GetWindowLongPtrW(mainWindow, GWLP_USERDATA));
}

// Null after shutdown.
PageSet* pageSetOf(HWND mainWindow) {
    MainWindowState* state = stateOf(mainWindow);
    return state != nullptr ? state->pages.get() : nullptr;
}

HINSTANCE instanceOf(HWND window) {
    return reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
}

void showPage(PageSet& set) {
    const int index = static_cast<int>(SendMessageW(set.tab, TCM_GETCURSEL, 0, 0));
    if (index < 0 || index >= kPageCount) {
        return;
    }
    if (set.currentPage != nullptr) {
        // The keyboard focus does not stay behind in a hidden page.
        const HWND focus = GetFocus();
        if (focus == set.currentPage || IsChild(set.currentPage, focus) != FALSE) {
            SetFocus(set.tab);
        }
        ShowWindow(set.currentPage, SW_HIDE);
    }
    set.currentProcedure = set.pages[index].get();
    if (set.windows[index] != nullptr) {
        set.currentPage = set.windows[index];
        ShowWindow(set.currentPage, SW_SHOW);
        return;
    }
    HWND page = CreateDialogIndirectParamW(instanceOf(set.tab), set.templates[index],
                                           GetParent(set.tab), pageDispatcher, 0);
    set.windows[index] = page;
    set.currentPage = page;
}

void createPages(HWND mainWindow) {
    auto set = std::make_unique<PageSet>();
    set->tab = GetDlgItem(mainWindow, IDC_MAIN_TAB);
    const HINSTANCE instance = instanceOf(mainWindow);
    for (int index = 0; index < kPageCount; ++index) {
        const PageEntry& entry = kPages[index];
        TCITEMW item{};
        item.mask = TCIF_TEXT | TCIF_IMAGE;
        item.pszText = const_cast<wchar_t*>(entry.caption);
        item.iImage = -1;
        SendMessageW(set->tab, TCM_INSERTITEMW, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&item));
        HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(entry.templateId), RT_DIALOG);
        HGLOBAL loaded = resource != nullptr ? LoadResource(instance, resource) : nullptr;
        set->templates[index] =
            static_cast<LPCDLGTEMPLATEW>(loaded != nullptr ? LockResource(loaded) : nullptr);
        set->pages[index] = entry.make();
    }
    PageSet& pages = *set;
    auto state = std::make_unique<MainWindowState>();
    state->pages = std::move(set);
    SetWindowLongPtrW(mainWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state.release()));
    SendMessageW(pages.tab, TCM_SETCURSEL, 0, 0);
    showPage(pages);
}

// Moves the page to the top left corner of the tab control's display area, keeping its size;
// `flags` add to SWP_NOSIZE.
void placePage(HWND tab, HWND page, UINT flags) {
    RECT area{};
    GetWindowRect(tab, &area);
    MapWindowPoints(nullptr, GetParent(tab), reinterpret_cast<POINT*>(&area), 2);
    SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    SetWindowPos(page, nullptr, area.left, area.top, 0, 0, SWP_NOSIZE | flags);
}

class Win32ShellView : public ShellView {
public:
    explicit Win32ShellView(HWND mainWindow) noexcept : main_(mainWindow) {}
    Win32ShellView(const Win32ShellView&) = delete;
    Win32ShellView& operator=(const Win32ShellView&) = delete;

    void attachLogList() override {
        getLogger().setListBox(std::make_shared<Win32ListBox>(GetDlgItem(main_, IDC_MAIN_JOURNAL)));
    }
    void setControlText(int id, std::u16string_view text) override {
        const std::u16string terminated(text);
        SetDlgItemTextW(main_, id, wide(terminated));
    }
    void reportError(const std::exception& error) override {
        showMessageBox(main_, errorText(error), u"Ошибка");
    }
    int runPinDialog() override {
        return static_cast<int>(DialogBoxParamW(instanceOf(main_), MAKEINTRESOURCEW(IDD_PIN_DIALOG),
                                                main_, pinDialogProcedure, 0));
    }
    void postClose() override { PostMessageW(main_, WM_COMMAND, IDCANCEL, 0); }
    void destroyPagesAndQuit() override {
        if (MainWindowState* state = stateOf(main_)) {
            // Taken out first: the pages find no set as they go.
            state->retired = std::move(state->pages);
            if (state->retired != nullptr) {
                for (HWND page : state->retired->windows) {
                    if (page != nullptr) {
                        DestroyWindow(page);
                    }
                }
            }
        }
        PostQuitMessage(0);
    }
    void setWaitCursor(bool on) override { waitCursor_.set(on); }
    void paintNow() override { ::paintNow(main_); }
    void discardInput() override { discardQueuedInput(); }

private:
    HWND main_;
    Win32WaitCursor waitCursor_;
};

} // namespace

INT_PTR CALLBACK mainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        createPages(window);
        PostMessageW(window, WM_STARTUP, 0, 0);
        return TRUE;
    case WM_NOTIFY:
        if (reinterpret_cast<const NMHDR*>(lParam)->code == TCN_SELCHANGE) {
            if (PageSet* set = pageSetOf(window)) {
                showPage(*set);
            }
        }
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) != IDCANCEL) {
            return FALSE;
        }
        // A second close command finds the shutdown done and does nothing.
        if (MainWindowState* state = stateOf(window)) {
            Win32ShellView view(window);
            shutdown(view, state->shell);
        }
        return TRUE;
    case WM_ENDSESSION:
        // The session ends once this message is answered: the token is closed as the close
        // command closes it. A session that goes on after all (FALSE) changes nothing.
        if (MainWindowState* state = stateOf(window); state != nullptr && wParam != FALSE) {
            Win32ShellView view(window);
            endSession(view, state->shell);
        }
        return TRUE;
    case WM_STARTUP:
        if (MainWindowState* state = stateOf(window)) {
            Win32ShellView view(window);
            runStartup(view, state->shell);
        }
        return TRUE;
    case WM_NCDESTROY:
        delete stateOf(window);
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK pageDispatcher(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    PageSet* set = pageSetOf(GetParent(page));
    if (set == nullptr) {
        return message == WM_INITDIALOG ? TRUE : FALSE;
    }
    Page* procedure = set->currentProcedure;
    Win32DialogView view(page);
    switch (message) {
    case WM_INITDIALOG:
        // The page's background follows the tab control's under visual styles.
        enableTabPageTexture(page);
        placePage(set->tab, page, SWP_SHOWWINDOW);
        return procedure == nullptr || startPage(*procedure, view) ? TRUE : FALSE;
    case WM_COMMAND:
        if (procedure != nullptr) {
            commandPage(*procedure, view, LOWORD(wParam), static_cast<std::intptr_t>(lParam),
                        HIWORD(wParam));
        }
        return FALSE;
    default:
        return FALSE;
    }
}

namespace {

// The program's icon at the size the system shows for a metric. Each size is loaded once and
// kept for the process, as shared icons are, for every main window it creates.
HICON programIcon(HINSTANCE instance, int widthMetric, int heightMetric) {
    static std::map<std::pair<int, int>, HICON> loaded;
    const int width = GetSystemMetrics(widthMetric);
    const int height = GetSystemMetrics(heightMetric);
    HICON& icon = loaded[{width, height}];
    if (icon == nullptr) {
        icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_WORKSTATION),
                                             IMAGE_ICON, width, height, LR_DEFAULTCOLOR));
    }
    return icon;
}

// A dialog has no class icon: the caption shows the small one, the taskbar and Alt+Tab the
// big one.
void setProgramIcons(HWND window) {
    const HINSTANCE instance = instanceOf(window);
    SendMessageW(window, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(programIcon(instance, SM_CXICON, SM_CYICON)));
    SendMessageW(window, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(programIcon(instance, SM_CXSMICON, SM_CYSMICON)));
}

} // namespace

HWND createMainWindow(HINSTANCE instance) {
    HWND window =
        CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, mainWindowProcedure, 0);
    if (window != nullptr) {
        setProgramIcons(window);
    }
    return window;
}

int runMessageLoop(HINSTANCE instance, HWND mainWindow, int showCommand) {
    ShowWindow(mainWindow, showCommand);
    UpdateWindow(mainWindow);
    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
    MSG message{};
    // GetMessageW answers -1 on failure; that ends the loop as the quit message does.
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorW(message.hwnd, accelerators, &message) == 0 &&
            !handleDialogKeys(mainWindow, message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}
