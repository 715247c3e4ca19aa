// The verification page: the token hashes a file and checks a signature file against a
// chosen public key; the verdict is shown in a message box.
#pragma once

#include "token/Key.h"
#include "ui/Page.h"
#include "ui/resources/Resource.h"

class VerifyPage : public Page {
public:
    VerifyPage() noexcept : Page(kCommands) {}
    bool start(DialogView& view) override;
    void command(DialogView& view, int id, std::intptr_t control, int code) override;

private:
    void keyChanged(DialogView& view) const;
    void run(DialogView& view) const;

    KeyList<PublicKey> keys_;
    // "Проверить": the signed file, its signature and a key of the list.
    static constexpr CommandButton kCommands[] = {
        {IDC_VERIFY_RUN, IDC_VERIFY_INPUT, IDC_VERIFY_SIGNATURE, IDC_VERIFY_KEY},
    };
};
