// The encryption page: encrypts or decrypts a file with a chosen secret key.
#pragma once

#include "token/Key.h"
#include "ui/Page.h"
#include "ui/resources/Resource.h"

class EncryptPage : public Page {
public:
    EncryptPage() noexcept : Page(kCommands) {}
    bool start(DialogView& view) override;
    void command(DialogView& view, int id, std::intptr_t control, int code) override;

private:
    void run(DialogView& view) const;

    KeyList<SecretKey> keys_;
    // "Выполнить": an input file, an output file and a key of the list.
    static constexpr CommandButton kCommands[] = {
        {IDC_CRYPT_RUN, IDC_CRYPT_INPUT, IDC_CRYPT_OUTPUT, IDC_CRYPT_KEY},
    };
};
