// The verification page: the token hashes a file and checks a signature file against a
// chosen public key; the verdict is shown in a message box.
#pragma once

#include "token/Key.h"
#include "ui/Page.h"

class VerifyPage : public Page {
public:
    bool start(DialogView& view) override;
    void command(DialogView& view, int id, std::intptr_t control, int code) override;
    bool runsCommand(int id) const override;
    void updateButtons(DialogView& view) override;

private:
    void keyChanged(DialogView& view) const;
    void run(DialogView& view) const;

    KeyList<PublicKey> keys_;
};
