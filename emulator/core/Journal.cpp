#include "emulator/core/Journal.h"

#include <algorithm>
#include <cstddef>
#include <stdexcept>

namespace emulator {

Bytes encodeJournal(const std::vector<JournalRecord>& records) {
    Bytes bytes;
    for (const JournalRecord& record : records) {
        const std::size_t idSize = std::min<std::size_t>(record.keyId.size(), 0xFFFF);
        const std::size_t digestSize = std::min<std::size_t>(record.digest.size(), 0xFF);
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<unsigned char>(record.counter >> shift));
        }
        bytes.push_back(static_cast<unsigned char>(record.kind));
        bytes.push_back(static_cast<unsigned char>(idSize));
        bytes.push_back(static_cast<unsigned char>(idSize >> 8));
        bytes.insert(bytes.end(), record.keyId.begin(), record.keyId.begin() + idSize);
        bytes.push_back(static_cast<unsigned char>(digestSize));
        bytes.insert(bytes.end(), record.digest.begin(), record.digest.begin() + digestSize);
    }
    return bytes;
}

std::vector<JournalRecord> decodeJournal(const Bytes& bytes) {
    std::vector<JournalRecord> records;
    std::size_t at = 0;
    const auto take = [&](std::size_t count) {
        if (bytes.size() - at < count) {
            throw std::invalid_argument("the journal ends inside a record");
        }
        const std::size_t start = at;
        at += count;
        return bytes.begin() + static_cast<std::ptrdiff_t>(start);
    };
    while (at < bytes.size()) {
        JournalRecord record;
        auto counter = take(4);
        for (int i = 0; i < 4; ++i) {
            record.counter |= static_cast<std::uint32_t>(counter[i]) << (8 * i);
        }
        const unsigned char kind = *take(1);
        if (kind != 1 && kind != 2) {
            throw std::invalid_argument("a journal record has an unknown kind");
        }
        record.kind = static_cast<JournalKind>(kind);
        auto idSize = take(2);
        const std::size_t idLength = idSize[0] | static_cast<std::size_t>(idSize[1]) << 8;
        auto id = take(idLength);
        record.keyId.assign(id, id + static_cast<std::ptrdiff_t>(idLength));
        const std::size_t digestLength = *take(1);
        auto digest = take(digestLength);
        record.digest.assign(digest, digest + static_cast<std::ptrdiff_t>(digestLength));
        records.push_back(std::move(record));
    }
    return records;
}

} // namespace emulator
