// The checks of the logged-in session: key lists, hashing, signing and verification,
// encryption and the token's journal.
#pragma once

#include "check/Checker.h"
#include "token/Key.h"

#include <optional>

class Token;

namespace check {

// The key lists as the workstation's pages fetch them; a list is absent when fetching it
// failed.
struct KeyLists {
    std::optional<KeyList<PrivateKey>> privateKeys;
    std::optional<KeyList<PublicKey>> publicKeys;
    std::optional<KeyList<SecretKey>> secretKeys;
};

// Fetches the three lists and reports each with its keys' names as the pages list them.
KeyLists checkKeys(Checker& checker, Token& token);

// Digests of the published known-answer messages.
void checkDigests(Checker& checker, Token& token);

// For each private key with its public key on the token: sign a fixed message and verify it,
// and a changed message must be refused. Keys that write the token's journal only when
// journalKeys is set.
void checkSignatures(Checker& checker, Token& token, const KeyLists& keys, bool journalKeys);

// For each secret key: encrypt a message of a few kilobytes and decrypt it back.
void checkEncryption(Checker& checker, Token& token, const KeyLists& keys);

// Reads the token's journal and counts its records.
void checkJournal(Checker& checker, Token& token);

} // namespace check
