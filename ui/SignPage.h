// The signing page: the token hashes a file and signs the digest with a chosen private key;
// on the model with a screen, without showing the data unless the user asks for it.
#pragma once

#include "token/Key.h"
#include "ui/Page.h"

class SignPage : public Page {
public:
    bool start(DialogView& view) override;
    void command(DialogView& view, int id, std::intptr_t control, int code) override;
    bool runsCommand(int id) const override;
    void updateButtons(DialogView& view) override;

private:
    void keyChanged(DialogView& view) const;
    void run(DialogView& view) const;

    KeyList<PrivateKey> keys_;
};
