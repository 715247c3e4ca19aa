// The encryption page: encrypts or decrypts a file with a chosen secret key.
#pragma once

#include "token/Key.h"
#include "ui/Page.h"

class EncryptPage : public Page {
public:
    bool start(DialogView& view) override;
    void command(DialogView& view, int id, std::intptr_t control, int code) override;
    bool runsCommand(int id) const override;
    void updateButtons(DialogView& view) override;

private:
    void run(DialogView& view) const;

    KeyList<SecretKey> keys_;
};
