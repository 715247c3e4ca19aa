#include "check/JournalRecords.h"

namespace check {

std::optional<std::size_t> countJournalRecords(const Bytes& journal) {
    std::size_t records = 0;
    std::size_t at = 0;
    while (at < journal.size()) {
        constexpr std::size_t kHead = 4 + 1 + 2;
        if (journal.size() - at < kHead) {
            return std::nullopt;
        }
        const std::size_t idLength = journal[at + 5] | static_cast<std::size_t>(journal[at + 6])
                                                           << 8;
        at += kHead;
        if (journal.size() - at < idLength + 1) {
            return std::nullopt;
        }
        at += idLength;
        const std::size_t digestLength = journal[at];
        at += 1;
        if (journal.size() - at < digestLength) {
            return std::nullopt;
        }
        at += digestLength;
        ++records;
    }
    return records;
}

} // namespace check
