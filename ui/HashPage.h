// The hashing page: the token's digest of a file, written raw to another file.
#pragma once

#include "ui/Page.h"
#include "ui/resources/Resource.h"

class HashPage : public Page {
public:
    HashPage() noexcept : Page(kCommands) {}
    bool start(DialogView& view) override;
    void command(DialogView& view, int id, std::intptr_t control, int code) override;

private:
    static void run(DialogView& view);
    // "Выполнить": a file to hash and a file for the digest.
    static constexpr CommandButton kCommands[] = {
        {IDC_HASH_RUN, IDC_HASH_INPUT, IDC_HASH_OUTPUT, 0},
    };
};
