#include "MemoryListControl.h"

#include "support/TextConversion.h"

std::int32_t MemoryListControl::append(const std::u16string& line) {
    if (failure_ != 0) {
        const std::int32_t answer = failure_;
        failure_ = 0;
        return answer;
    }
    items_.push_back(line);
    return static_cast<std::int32_t>(items_.size() - 1);
}

std::vector<std::string> MemoryListControl::lines() const {
    std::vector<std::string> narrow;
    narrow.reserve(items_.size());
    for (const std::u16string& item : items_) {
        narrow.push_back(wideToUtf8(item));
    }
    return narrow;
}

void MemoryListControl::clear() noexcept {
    items_.clear();
    selection_ = -1;
    failure_ = 0;
}
