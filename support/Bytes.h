#pragma once

#include <vector>

// File contents, digests, signatures, ciphertexts, attribute values and the token's journal.
using Bytes = std::vector<unsigned char>;
