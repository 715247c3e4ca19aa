// The workstation's resources as the running program sees them: the dialogs created from
// their templates, the texts read back (which proves the UTF-8 script reached UTF-16), the
// styles the pages rely on, the icon, strings, accelerators and manifest; and the version
// resource of every shipped file with the manifests of the console programs.
#include "ui/resources/Resource.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

INT_PTR CALLBACK inertProcedure(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// A dialog from the program's own template, destroyed with the object.
class Dialog {
public:
    explicit Dialog(int id, HWND parent = nullptr) {
        const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                            ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
        InitCommonControlsEx(&controls);
        window_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), parent,
                                     inertProcedure, 0);
    }
    ~Dialog() {
        if (window_ != nullptr) {
            DestroyWindow(window_);
        }
    }
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;
    HWND get() const { return window_; }

private:
    HWND window_ = nullptr;
};

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring className(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

LONG style(HWND window) {
    return static_cast<LONG>(GetWindowLongPtrW(window, GWL_STYLE));
}

struct Control {
    int id;
    std::wstring kind; // window class
    std::wstring text;
};

struct Template {
    int id;
    std::wstring caption;
    std::vector<Control> controls; // in tab order
};

// Every control of every dialog, in template order.
const std::vector<Template>& templates() {
    static const std::vector<Template> all = {
        {IDD_MAIN,
         L"АРМ пользователя Veltora QRD",
         {{-1, L"Button", L"Информация о токене"},
          {IDC_MAIN_SERIAL_LABEL, L"Static", L"Серийный номер:"},
          {IDC_MAIN_SERIAL, L"Edit", L""},
          {IDC_MAIN_LABEL_LABEL, L"Static", L"Метка:"},
          {IDC_MAIN_LABEL, L"Edit", L""},
          {IDC_MAIN_CHECKSUM_LABEL, L"Static", L"Контрольная сумма:"},
          {IDC_MAIN_CHECKSUM, L"Edit", L""},
          {-1, L"Button", L"Журнал"},
          {IDC_MAIN_JOURNAL, L"ListBox", L""},
          {IDC_MAIN_TAB, L"SysTabControl32", L""}}},
        {IDD_PIN_DIALOG,
         L"Введите PIN-код",
         {{IDC_PIN_PROMPT, L"Static", L"Введите PIN-код:"},
          {IDC_PIN_EDIT, L"Edit", L""},
          {IDOK, L"Button", L"OK"},
          {IDCANCEL, L"Button", L"Cancel"}}},
        {IDD_HASH_PAGE,
         L"",
         {{IDC_HASH_INPUT_LABEL, L"Static", L"Входной файл:"},
          {IDC_HASH_INPUT, L"Edit", L""},
          {IDC_HASH_INPUT_BROWSE, L"Button", L"Обзор"},
          {IDC_HASH_OUTPUT_LABEL, L"Static", L"Выходной файл:"},
          {IDC_HASH_OUTPUT, L"Edit", L""},
          {IDC_HASH_OUTPUT_BROWSE, L"Button", L"Обзор"},
          {IDC_HASH_ALGORITHM_GROUP, L"Button", L"Алгоритм"},
          {IDC_HASH_GOST94, L"Button", L"ГОСТ Р 34.11-94"},
          {IDC_HASH_GOST12_256, L"Button", L"ГОСТ Р 34.11-2012 (256 бит)"},
          {IDC_HASH_GOST12_512, L"Button", L"ГОСТ Р 34.11-2012 (512 бит)"},
          {IDC_HASH_RUN, L"Button", L"Выполнить"}}},
        {IDD_SIGN_PAGE,
         L"",
         {{IDC_SIGN_KEY_LABEL, L"Static", L"Ключ:"},
          {IDC_SIGN_KEY, L"ComboBox", L""},
          {IDC_SIGN_INPUT_LABEL, L"Static", L"Входной файл:"},
          {IDC_SIGN_INPUT, L"Edit", L""},
          {IDC_SIGN_INPUT_BROWSE, L"Button", L"Обзор"},
          {IDC_SIGN_SIGNATURE_LABEL, L"Static", L"Файл подписи:"},
          {IDC_SIGN_SIGNATURE, L"Edit", L""},
          {IDC_SIGN_SIGNATURE_BROWSE, L"Button", L"Обзор"},
          {IDC_SIGN_ALGORITHM_LABEL, L"Static", L"Алгоритм вычисления подписи:"},
          {IDC_SIGN_ALGORITHM, L"Edit", L""},
          {IDC_SIGN_RUN, L"Button", L"Подписать"},
          {IDC_SIGN_VISUALIZE, L"Button", L"Визуализировать данные"}}},
        {IDD_VERIFY_PAGE,
         L"",
         {{IDC_VERIFY_KEY_LABEL, L"Static", L"Ключ:"},
          {IDC_VERIFY_KEY, L"ComboBox", L""},
          {IDC_VERIFY_INPUT_LABEL, L"Static", L"Входной файл:"},
          {IDC_VERIFY_INPUT, L"Edit", L""},
          {IDC_VERIFY_INPUT_BROWSE, L"Button", L"Обзор"},
          {IDC_VERIFY_SIGNATURE_LABEL, L"Static", L"Файл подписи:"},
          {IDC_VERIFY_SIGNATURE, L"Edit", L""},
          {IDC_VERIFY_SIGNATURE_BROWSE, L"Button", L"Обзор"},
          {IDC_VERIFY_ALGORITHM_LABEL, L"Static", L"Алгоритм проверки подписи:"},
          {IDC_VERIFY_ALGORITHM, L"Edit", L""},
          {IDC_VERIFY_RUN, L"Button", L"Проверить"}}},
        {IDD_ENCRYPT_PAGE,
         L"",
         {{IDC_CRYPT_KEY_LABEL, L"Static", L"Ключ:"},
          {IDC_CRYPT_KEY, L"ComboBox", L""},
          {IDC_CRYPT_INPUT_LABEL, L"Static", L"Входной файл:"},
          {IDC_CRYPT_INPUT, L"Edit", L""},
          {IDC_CRYPT_INPUT_BROWSE, L"Button", L"Обзор"},
          {IDC_CRYPT_OUTPUT_LABEL, L"Static", L"Выходной файл:"},
          {IDC_CRYPT_OUTPUT, L"Edit", L""},
          {IDC_CRYPT_OUTPUT_BROWSE, L"Button", L"Обзор"},
          {IDC_CRYPT_OPERATION_GROUP, L"Button", L"Операция"},
          {IDC_CRYPT_ENCRYPT, L"Button", L"Зашифрование"},
          {IDC_CRYPT_DECRYPT, L"Button", L"Расшифрование"},
          {IDC_CRYPT_RUN, L"Button", L"Выполнить"}}},
        {IDD_PIN_CHANGE_PAGE,
         L"",
         {{IDC_PINCHANGE_USER_GROUP, L"Button", L"Смена PIN-кода пользователя"},
          {IDC_PINCHANGE_NEW_LABEL, L"Static", L"Введите новый PIN-код"},
          {IDC_PINCHANGE_NEW, L"Edit", L""},
          {IDC_PINCHANGE_CONFIRM_LABEL, L"Static", L"Подтвердите новый PIN-код"},
          {IDC_PINCHANGE_CONFIRM, L"Edit", L""},
          {IDC_PINCHANGE_RUN, L"Button", L"Сменить PIN-код"},
          {IDC_PINCHANGE_PIN2_GROUP, L"Button", L"Смена PIN2"},
          {IDC_PINCHANGE_PIN2_TEXT, L"Static", L"Введите новый PIN2 на экране"},
          {IDC_PINCHANGE_PIN2_RUN, L"Button", L"Выполнить"}}},
        {IDD_JOURNAL_PAGE,
         L"",
         {{IDC_JOURNAL_OUTPUT_LABEL, L"Static", L"Выходной файл для журнала:"},
          {IDC_JOURNAL_OUTPUT, L"Edit", L""},
          {IDC_JOURNAL_BROWSE, L"Button", L"Обзор"},
          {IDC_JOURNAL_RUN, L"Button", L"Выполнить"}}},
    };
    return all;
}

bool isPage(int id) {
    return id != IDD_MAIN && id != IDD_PIN_DIALOG;
}
// Each dialog is made with a main window as its parent or owner, as pages and the PIN dialog
// are in the program.

TEST(Resources, EveryDialogHasItsControlsAndTextsInOrder) {
    Dialog main(IDD_MAIN);
    ASSERT_NE(main.get(), nullptr);
    for (const Template& expected : templates()) {
        SCOPED_TRACE(expected.id);
        Dialog dialog(expected.id, main.get());
        ASSERT_NE(dialog.get(), nullptr);
        EXPECT_EQ(windowText(dialog.get()), expected.caption);
        std::size_t index = 0;
        for (HWND child = GetWindow(dialog.get(), GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT), ++index) {
            ASSERT_LT(index, expected.controls.size());
            const Control& control = expected.controls[index];
            SCOPED_TRACE(control.id);
            EXPECT_EQ(GetDlgCtrlID(child), control.id);
            EXPECT_EQ(_wcsicmp(className(child).c_str(), control.kind.c_str()), 0);
            EXPECT_EQ(windowText(child), control.text);
        }
        EXPECT_EQ(index, expected.controls.size());
    }
}

TEST(Resources, LabelsFitOnTheirOneLine) {
    Dialog main(IDD_MAIN);
    ASSERT_NE(main.get(), nullptr);
    for (const Template& expected : templates()) {
        Dialog dialog(expected.id, main.get());
        const HDC context = GetDC(dialog.get());
        SelectObject(context,
                     reinterpret_cast<HFONT>(SendMessageW(dialog.get(), WM_GETFONT, 0, 0)));
        for (HWND child = GetWindow(dialog.get(), GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            const std::wstring text = windowText(child);
            if (_wcsicmp(className(child).c_str(), L"Static") == 0) {
                SIZE extent{};
                GetTextExtentPoint32W(context, text.c_str(), static_cast<int>(text.size()),
                                      &extent);
                RECT client{};
                GetClientRect(child, &client);
                EXPECT_LE(extent.cx, client.right) << GetDlgCtrlID(child);
            }
        }
        ReleaseDC(dialog.get(), context);
    }
}

TEST(Resources, WindowsAreCreatedHiddenWithTheirFrames) {
    Dialog main(IDD_MAIN);
    ASSERT_NE(main.get(), nullptr);
    const LONG frame = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_VISIBLE;
    EXPECT_EQ(style(main.get()) & frame, WS_POPUP | WS_CAPTION | WS_SYSMENU);
    EXPECT_TRUE(GetWindowLongPtrW(main.get(), GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    for (const Template& page : templates()) {
        if (isPage(page.id)) {
            Dialog dialog(page.id, main.get());
            EXPECT_EQ(style(dialog.get()) & (frame | WS_CHILD | WS_BORDER), WS_CHILD) << page.id;
        }
    }
}

TEST(Resources, ThePinDialogOpensAtItsPlaceOverItsOwner) {
    Dialog main(IDD_MAIN);
    Dialog pin(IDD_PIN_DIALOG, main.get());
    ASSERT_NE(pin.get(), nullptr);
    RECT place{60, 100, 0, 0};
    MapDialogRect(pin.get(), &place);
    // The dialog manager puts the client area at the template's position.
    POINT owner{0, 0};
    ClientToScreen(main.get(), &owner);
    POINT client{0, 0};
    ClientToScreen(pin.get(), &client);
    EXPECT_EQ(client.x, owner.x + place.left);
    EXPECT_EQ(client.y, owner.y + place.top);
}

// Edits and list boxes trade WS_BORDER for a sunken client edge when they are created.
LONG controlStyle(HWND control) {
    LONG value = style(control);
    if ((GetWindowLongPtrW(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0) {
        value |= WS_BORDER;
    }
    return value;
}

bool isPinField(int dialog, int id) {
    return (dialog == IDD_PIN_DIALOG && id == IDC_PIN_EDIT) ||
           (dialog == IDD_PIN_CHANGE_PAGE &&
            (id == IDC_PINCHANGE_NEW || id == IDC_PINCHANGE_CONFIRM));
}

TEST(Resources, EditsAndKeyListsHaveTheirStyles) {
    Dialog main(IDD_MAIN);
    ASSERT_NE(main.get(), nullptr);
    for (const Template& expected : templates()) {
        Dialog dialog(expected.id, main.get());
        for (const Control& control : expected.controls) {
            const LONG value = controlStyle(GetDlgItem(dialog.get(), control.id));
            SCOPED_TRACE(std::to_string(expected.id) + "/" + std::to_string(control.id));
            if (control.kind == L"Edit") {
                // PINs are typed hidden; every other field is filled by the program only.
                const LONG kind = isPinField(expected.id, control.id) ? ES_PASSWORD : ES_READONLY;
                EXPECT_EQ(value & (ES_PASSWORD | ES_READONLY | ES_AUTOHSCROLL | WS_BORDER),
                          kind | ES_AUTOHSCROLL | WS_BORDER);
            } else if (control.kind == L"ComboBox") {
                // A fixed list in the token's order. (The combo box takes WS_VSCROLL off its
                // own window when it is created.)
                EXPECT_EQ(value & (0x3 | CBS_SORT), CBS_DROPDOWNLIST);
            }
        }
    }
}

struct StyleRule {
    int dialog;
    int control;
    LONG mask;
    LONG value;
};

TEST(Resources, ButtonsAndListsHaveTheirStyles) {
    const LONG kind = BS_TYPEMASK;
    const LONG journal = LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_SORT | WS_BORDER;
    const StyleRule rules[] = {
        {IDD_MAIN, IDC_MAIN_JOURNAL, journal, journal & ~LBS_SORT},
        {IDD_PIN_DIALOG, IDC_PIN_EDIT, WS_TABSTOP, WS_TABSTOP},
        {IDD_PIN_DIALOG, IDOK, kind, BS_DEFPUSHBUTTON},
        {IDD_PIN_DIALOG, IDCANCEL, kind, BS_PUSHBUTTON},
        // One group of algorithms: the arrow keys move within it, Tab leaves it.
        {IDD_HASH_PAGE, IDC_HASH_GOST94, kind | WS_GROUP | WS_TABSTOP,
         BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP},
        {IDD_HASH_PAGE, IDC_HASH_GOST12_256, kind | WS_GROUP, BS_AUTORADIOBUTTON},
        {IDD_HASH_PAGE, IDC_HASH_GOST12_512, kind | WS_GROUP, BS_AUTORADIOBUTTON},
        {IDD_HASH_PAGE, IDC_HASH_RUN, kind | WS_GROUP, BS_DEFPUSHBUTTON | WS_GROUP},
        {IDD_SIGN_PAGE, IDC_SIGN_RUN, kind, BS_DEFPUSHBUTTON},
        {IDD_SIGN_PAGE, IDC_SIGN_VISUALIZE, kind | WS_TABSTOP, BS_AUTOCHECKBOX | WS_TABSTOP},
        {IDD_VERIFY_PAGE, IDC_VERIFY_RUN, kind, BS_DEFPUSHBUTTON},
        {IDD_ENCRYPT_PAGE, IDC_CRYPT_ENCRYPT, kind | WS_GROUP, BS_AUTORADIOBUTTON | WS_GROUP},
        {IDD_ENCRYPT_PAGE, IDC_CRYPT_DECRYPT, kind | WS_GROUP, BS_AUTORADIOBUTTON},
        {IDD_ENCRYPT_PAGE, IDC_CRYPT_RUN, kind | WS_GROUP, BS_PUSHBUTTON | WS_GROUP},
        // The dialog manager leaves the default style only to the last default button, the
        // hidden PIN2 button; the PIN2 controls wait for the model with a screen.
        {IDD_PIN_CHANGE_PAGE, IDC_PINCHANGE_RUN, WS_VISIBLE, WS_VISIBLE},
        {IDD_PIN_CHANGE_PAGE, IDC_PINCHANGE_PIN2_GROUP, WS_VISIBLE, 0},
        {IDD_PIN_CHANGE_PAGE, IDC_PINCHANGE_PIN2_TEXT, WS_VISIBLE, 0},
        {IDD_PIN_CHANGE_PAGE, IDC_PINCHANGE_PIN2_RUN, kind | WS_VISIBLE, BS_DEFPUSHBUTTON},
        {IDD_JOURNAL_PAGE, IDC_JOURNAL_RUN, kind, BS_DEFPUSHBUTTON},
    };
    Dialog main(IDD_MAIN);
    ASSERT_NE(main.get(), nullptr);
    for (const StyleRule& rule : rules) {
        Dialog dialog(rule.dialog, main.get());
        const HWND control = GetDlgItem(dialog.get(), rule.control);
        ASSERT_NE(control, nullptr) << rule.dialog << "/" << rule.control;
        EXPECT_EQ(controlStyle(control) & rule.mask, rule.value)
            << rule.dialog << "/" << rule.control;
    }
}

TEST(Resources, JournalListScrollsOnceFull) {
    Dialog main(IDD_MAIN);
    const HWND journal = GetDlgItem(main.get(), IDC_MAIN_JOURNAL);
    ASSERT_NE(journal, nullptr);
    for (int line = 0; line < 40; ++line) {
        SendMessageW(journal, LB_INSERTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(L"C_Digest -> CKR_OK"));
    }
    EXPECT_NE(style(journal) & WS_VSCROLL, 0);
}

TEST(Resources, StringTableHoldsTheFiltersAndExtensions) {
    const std::pair<UINT, std::wstring> strings[] = {
        {IDS_FILTER_ENCRYPTED, L"Зашифрованный файл (*.enc)|*.enc"},
        {IDS_FILTER_SIGNATURE, L"Файл подписи (*.sig)|*.sig"},
        {IDS_FILTER_DIGEST, L"Файл хэша (*.dig)|*.dig"},
        {IDS_FILTER_DATA, L"Microsoft Office Files"},
        {IDS_EXT_DIGEST, L"dig"},
        {IDS_EXT_SIGNATURE, L"sig"},
        {IDS_EXT_ENCRYPTED, L"enc"},
    };
    for (const auto& [id, text] : strings) {
        wchar_t buffer[1024] = {};
        EXPECT_EQ(LoadStringW(GetModuleHandleW(nullptr), id, buffer, 1024),
                  static_cast<int>(text.size()));
        EXPECT_EQ(std::wstring(buffer), text) << id;
    }
}

TEST(Resources, AltQuestionMarkAndAltSlashSendAbout) {
    const HACCEL table =
        LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_ACCELERATORS));
    ASSERT_NE(table, nullptr);
    ACCEL entries[4] = {};
    ASSERT_EQ(CopyAcceleratorTableW(table, entries, 4), 2);
    EXPECT_EQ(entries[0].key, '?');
    EXPECT_EQ(entries[1].key, '/');
    for (const ACCEL& entry : entries) {
        if (entry.key != 0) {
            EXPECT_EQ(entry.fVirt & ~FNOINVERT, FALT) << entry.key;
            EXPECT_EQ(entry.cmd, IDM_ABOUT) << entry.key;
        }
    }
    DestroyAcceleratorTable(table);
}

BOOL CALLBACK takeFirstName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR first) {
    *reinterpret_cast<ULONG_PTR*>(first) = reinterpret_cast<ULONG_PTR>(name);
    return FALSE;
}

TEST(Resources, TheIconGroupComesFirstWithFiveSizesOf32Bits) {
    ULONG_PTR first = 0;
    EnumResourceNamesW(nullptr, RT_GROUP_ICON, takeFirstName, reinterpret_cast<LONG_PTR>(&first));
    EXPECT_EQ(first, ULONG_PTR{IDI_WORKSTATION}) << "Explorer shows the first icon group";
    const HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(IDI_WORKSTATION), RT_GROUP_ICON);
    ASSERT_NE(found, nullptr);
    const auto* group = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found)));
    // A 6-byte header with the count, then 14-byte entries: width, height (0 for 256), colour
    // count, reserved, planes, bits per pixel, size and the image's RT_ICON id.
    WORD count = 0;
    std::memcpy(&count, group + 4, sizeof count);
    ASSERT_EQ(SizeofResource(nullptr, found), 6u + 14u * count);
    std::vector<int> sizes;
    for (WORD index = 0; index < count; ++index) {
        const BYTE* entry = group + 6 + 14 * index;
        sizes.push_back(entry[0] == 0 ? 256 : entry[0]);
        EXPECT_EQ(entry[1], entry[0]);
        WORD bits = 0;
        std::memcpy(&bits, entry + 6, sizeof bits);
        EXPECT_EQ(bits, 32) << sizes.back() << " px";
    }
    EXPECT_EQ(sizes, (std::vector<int>{16, 24, 32, 48, 256}));
}

// A file the release ships, as the build wrote it (Wine sees the build host's root as Z:).
struct ShippedFile {
    const char* path;
    const wchar_t* name;
    const wchar_t* description;
    bool ownManifest;
};

const ShippedFile kShippedFiles[] = {
    {SHIPPED_WORKSTATION, L"workstation.exe", L"АРМ пользователя Veltora QRD", false},
    {SHIPPED_TOKEN_CHECK, L"token-check.exe", L"Проверка токена для АРМ пользователя Veltora QRD",
     true},
    {SHIPPED_QRD_TOKEN, L"qrd-token.exe",
     L"Программа управления демонстрационным программным токеном Veltora QRD", true},
    {SHIPPED_MODULE, L"vlPKCS11QRD.dll",
     L"Демонстрационный программный токен Veltora QRD (модуль PKCS#11), не модуль производителя",
     false},
};

std::wstring windowsPath(const char* path) {
    std::wstring wide = L"Z:";
    for (const char* c = path; *c != '\0'; ++c) {
        wide += *c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*c));
    }
    return wide;
}

// The version resource as Explorer reads it from the file.
std::vector<BYTE> versionBlock(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<BYTE> block(size);
    if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, block.data())) {
        return {};
    }
    return block;
}

std::wstring versionString(std::vector<BYTE>& block, const wchar_t* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\041904b0\\") + name;
    if (!VerQueryValueW(block.data(), path.c_str(), &value, &length) || length == 0) {
        return L"(missing)";
    }
    return static_cast<const wchar_t*>(value);
}

TEST(Resources, EveryShippedFileCarriesTheProjectVersionInRussian) {
    for (const ShippedFile& file : kShippedFiles) {
        SCOPED_TRACE(file.path);
        std::vector<BYTE> block = versionBlock(windowsPath(file.path));
        ASSERT_FALSE(block.empty());
        void* value = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", &value, &length));
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
        EXPECT_EQ(fixed->dwFileVersionMS, DWORD{PROJECT_VERSION_MS});
        EXPECT_EQ(fixed->dwFileVersionLS, DWORD{PROJECT_VERSION_LS});
        EXPECT_EQ(fixed->dwProductVersionMS, DWORD{PROJECT_VERSION_MS});
        ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length));
        ASSERT_EQ(length, 4u);
        EXPECT_EQ(static_cast<const WORD*>(value)[0], 0x0419);
        EXPECT_EQ(static_cast<const WORD*>(value)[1], 1200);
        EXPECT_EQ(versionString(block, L"FileVersion"), L"" PROJECT_VERSION_TEXT);
        EXPECT_EQ(versionString(block, L"ProductVersion"), L"" PROJECT_VERSION_TEXT);
        EXPECT_EQ(versionString(block, L"FileDescription"), file.description);
        EXPECT_EQ(versionString(block, L"ProductName"), L"АРМ пользователя Veltora QRD");
        EXPECT_EQ(versionString(block, L"CompanyName"), L"Veltora");
        EXPECT_EQ(versionString(block, L"OriginalFilename"), file.name);
    }
}

// token-check and qrd-token: a manifest the loader accepts, asking for no elevation and naming
// the Windows versions they were made for.
TEST(Resources, ConsoleProgramsCarryAManifestTheLoaderTakes) {
    for (const ShippedFile& file : kShippedFiles) {
        if (!file.ownManifest) {
            continue;
        }
        SCOPED_TRACE(file.path);
        const std::wstring path = windowsPath(file.path);
        const HMODULE image = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(image, nullptr);
        const HRSRC found = FindResourceW(image, MAKEINTRESOURCEW(1), RT_MANIFEST);
        std::string text;
        if (found != nullptr) {
            const auto* data = static_cast<const char*>(LockResource(LoadResource(image, found)));
            text.assign(data, SizeofResource(image, found));
        }
        FreeLibrary(image);
        EXPECT_NE(text.find("level=\"asInvoker\""), std::string::npos) << text;
        EXPECT_NE(text.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos)
            << "Windows 10 and 11 among the supported systems";

        ACTCTXW context{};
        context.cbSize = sizeof context;
        context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        context.lpSource = path.c_str();
        context.lpResourceName = MAKEINTRESOURCEW(1);
        const HANDLE created = CreateActCtxW(&context);
        EXPECT_NE(created, INVALID_HANDLE_VALUE) << "error " << GetLastError();
        if (created != INVALID_HANDLE_VALUE) {
            ReleaseActCtx(created);
        }
    }
}

TEST(Resources, ManifestBindsCommonControlsSixAndSystemDpiAwareness) {
    ASSERT_NE(FindResourceW(nullptr, MAKEINTRESOURCEW(1), RT_MANIFEST), nullptr);
    // The loader took the manifest: the visual-styles controls are bound to the process.
    ACTCTX_SECTION_KEYED_DATA redirection{};
    redirection.cbSize = sizeof(redirection);
    EXPECT_TRUE(FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION,
                                         L"comctl32.dll", &redirection));
    // System DPI awareness as the loader reads it from the manifest (Wine makes every process
    // per-monitor aware whatever its manifest says): the windows are laid out at the session's
    // DPI and never rescaled by the dialog manager, which would leave the pages' controls at
    // their old scale. A setting under another namespace would be ignored.
    wchar_t value[64] = {};
    EXPECT_TRUE(QueryActCtxSettingsW(0, nullptr,
                                     L"http://schemas.microsoft.com/SMI/2005/WindowsSettings",
                                     L"dpiAware", value, 64, nullptr));
    EXPECT_STREQ(value, L"true");
    EXPECT_FALSE(QueryActCtxSettingsW(0, nullptr,
                                      L"http://schemas.microsoft.com/SMI/2016/WindowsSettings",
                                      L"dpiAwareness", value, 64, nullptr))
        << "dpiAwareness, which overrides dpiAware: " << value;
}

} // namespace
