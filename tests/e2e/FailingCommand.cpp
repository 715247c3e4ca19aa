// One command that is meant to fail, for the failure runner: the page of the command is
// selected, its files are chosen through the file dialogs as a user would, and the command is
// run; the error box that follows is read and answered (WorkstationDriver.cpp). The files live
// in the --files folder:
//   data.bin   the input, given
//   data.sig   the signature to check (verification), given
//   out.bin    the output the command would write; with --existing-output the driver puts
//              kExistingOutput there after choosing it (and with --lock-output keeps it open
//              without sharing until the box is answered)
// With --missing-input the input is moved away after it was chosen, and back after the box.
#include "tests/e2e/Driver.h"
#include "ui/resources/Resource.h"

#include <array>
#include <cstring>

namespace e2e {

namespace {

// A command's page and the controls it needs; 0 where the page has no such control.
struct CommandPage {
    const wchar_t* name;
    int tab;
    int choice;                         // a radio button clicked first
    int inputBrowse, inputEdit;         // data.bin
    int signatureBrowse, signatureEdit; // data.sig
    int outputBrowse, outputEdit;       // out.bin
    int newPin, confirmPin;             // both get the new PIN
    int run;
};

constexpr std::array<CommandPage, 7> kCommands{{
    {L"hash", 0, IDC_HASH_GOST12_256, IDC_HASH_INPUT_BROWSE, IDC_HASH_INPUT, 0, 0,
     IDC_HASH_OUTPUT_BROWSE, IDC_HASH_OUTPUT, 0, 0, IDC_HASH_RUN},
    {L"sign", 1, 0, IDC_SIGN_INPUT_BROWSE, IDC_SIGN_INPUT, 0, 0, IDC_SIGN_SIGNATURE_BROWSE,
     IDC_SIGN_SIGNATURE, 0, 0, IDC_SIGN_RUN},
    {L"verify", 2, 0, IDC_VERIFY_INPUT_BROWSE, IDC_VERIFY_INPUT, IDC_VERIFY_SIGNATURE_BROWSE,
     IDC_VERIFY_SIGNATURE, 0, 0, 0, 0, IDC_VERIFY_RUN},
    {L"encrypt", 3, IDC_CRYPT_ENCRYPT, IDC_CRYPT_INPUT_BROWSE, IDC_CRYPT_INPUT, 0, 0,
     IDC_CRYPT_OUTPUT_BROWSE, IDC_CRYPT_OUTPUT, 0, 0, IDC_CRYPT_RUN},
    {L"decrypt", 3, IDC_CRYPT_DECRYPT, IDC_CRYPT_INPUT_BROWSE, IDC_CRYPT_INPUT, 0, 0,
     IDC_CRYPT_OUTPUT_BROWSE, IDC_CRYPT_OUTPUT, 0, 0, IDC_CRYPT_RUN},
    {L"pin-change", 4, 0, 0, 0, 0, 0, 0, 0, IDC_PINCHANGE_NEW, IDC_PINCHANGE_CONFIRM,
     IDC_PINCHANGE_RUN},
    {L"journal", 5, 0, 0, 0, 0, 0, IDC_JOURNAL_BROWSE, IDC_JOURNAL_OUTPUT, 0, 0, IDC_JOURNAL_RUN},
}};

constexpr char kExistingOutput[] = "the file that was there before\n";

} // namespace

std::wstring Driver::commandFile(const wchar_t* name) {
    return options_[L"files"] + L"\\" + name;
}

bool Driver::failCommand() {
    const CommandPage* command = nullptr;
    for (const CommandPage& candidate : kCommands) {
        if (options_[L"command"] == candidate.name) {
            command = &candidate;
        }
    }
    if (command == nullptr) {
        report_.line("failure", L"no such command: " + options_[L"command"]);
        return false;
    }
    const HWND page = selectTab(command->tab);
    if (page == nullptr) {
        return false;
    }
    if (command->choice != 0) {
        send(GetDlgItem(page, command->choice), BM_CLICK, 0, 0);
    }
    const std::wstring input = commandFile(L"data.bin");
    const std::wstring output = commandFile(L"out.bin");
    if (command->inputBrowse != 0) {
        browse(page, command->inputBrowse, command->inputEdit, input);
    }
    if (command->signatureBrowse != 0) {
        browse(page, command->signatureBrowse, command->signatureEdit, commandFile(L"data.sig"));
    }
    if (command->outputBrowse != 0) {
        browse(page, command->outputBrowse, command->outputEdit, output);
    }
    if (command->newPin != 0) {
        const LPARAM pin = reinterpret_cast<LPARAM>(L"24681357");
        send(GetDlgItem(page, command->newPin), WM_SETTEXT, 0, pin);
        send(GetDlgItem(page, command->confirmPin), WM_SETTEXT, 0, pin);
    }
    // A missing input: the chosen file is moved away while the command runs, and back after.
    const std::wstring away = input + L".away";
    if (option(L"missing-input") && !MoveFileW(input.c_str(), away.c_str())) {
        report_.line("failure", L"cannot move the input away");
    }
    // Kept open without sharing while the command runs when the output is to be locked.
    HANDLE existing = INVALID_HANDLE_VALUE;
    if (option(L"existing-output")) {
        existing = CreateFileW(output.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        if (existing == INVALID_HANDLE_VALUE ||
            !WriteFile(existing, kExistingOutput, std::strlen(kExistingOutput), &written,
                       nullptr)) {
            report_.line("failure", L"cannot write the existing output");
        }
        if (!option(L"lock-output") && existing != INVALID_HANDLE_VALUE) {
            CloseHandle(existing);
            existing = INVALID_HANDLE_VALUE;
        }
    }
    PostMessageW(GetDlgItem(page, command->run), BM_CLICK, 0, 0);
    const bool answered = awaitErrorBox();
    if (existing != INVALID_HANDLE_VALUE) {
        CloseHandle(existing);
    }
    if (option(L"missing-input") && !MoveFileW(away.c_str(), input.c_str())) {
        report_.line("failure", L"cannot move the input back");
    }
    return answered;
}

} // namespace e2e
