// The signing page: the token hashes a file and signs the digest with a chosen private key;
// on the model with a screen, without showing the data unless the user asks for it.
#pragma once

#include "token/Key.h"
#include "ui/Page.h"
#include "ui/resources/Resource.h"

class SignPage : public Page {
public:
    SignPage() noexcept : Page(kCommands) {}
    bool start(DialogView& view) override;
    void command(DialogView& view, int id, std::intptr_t control, int code) override;

private:
    void keyChanged(DialogView& view) const;
    void run(DialogView& view) const;

    KeyList<PrivateKey> keys_;
    // "Подписать": a file to sign, a file for the signature and a key of the list.
    static constexpr CommandButton kCommands[] = {
        {IDC_SIGN_RUN, IDC_SIGN_INPUT, IDC_SIGN_SIGNATURE, IDC_SIGN_KEY},
    };
};
