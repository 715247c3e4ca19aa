// Counting the records of the token's journal as C_EX_GetJournal hands it out: records one
// after another, each a 4-byte counter, a 1-byte kind, a 2-byte little-endian identifier
// length and the identifier, a 1-byte digest length and the digest.
#pragma once

#include "support/Bytes.h"

#include <cstddef>
#include <optional>

namespace check {

// The number of whole records, or none when the bytes do not split into records.
std::optional<std::size_t> countJournalRecords(const Bytes& journal);

} // namespace check
