// The bytes of the token's journal, as C_EX_GetJournal hands them out: the records one after
// another, each
//   counter      4 bytes, little-endian (1 for the token's first signature)
//   kind         1 byte: 1 a signature shown on the screen, 2 an invisible signature
//   id length    2 bytes, little-endian
//   id           the signing key's CKA_ID
//   digest size  1 byte (32 or 64)
//   digest       the signed digest, as the caller passed it
#pragma once

#include "emulator/core/StateFile.h"

#include <vector>

namespace emulator {

Bytes encodeJournal(const std::vector<JournalRecord>& records);

// The inverse, for tools and tests. Throws std::invalid_argument for truncated bytes.
std::vector<JournalRecord> decodeJournal(const Bytes& bytes);

} // namespace emulator
