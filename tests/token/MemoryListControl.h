// A journal list held in memory, for tests and for code that runs without the window system.
#pragma once

#include "support/Logger.h"

#include <string>
#include <vector>

class MemoryListControl : public LogListControl {
public:
    std::int32_t append(const std::u16string& line) override;
    void select(std::int32_t index) override { selection_ = index; }

    // The lines as UTF-8, in list order.
    std::vector<std::string> lines() const;
    std::int32_t selection() const noexcept { return selection_; }
    void clear() noexcept;

    // The next append answers `answer` (kFailed or kNoSpace) and keeps nothing.
    void failNextAppend(std::int32_t answer) noexcept { failure_ = answer; }

private:
    std::vector<std::u16string> items_;
    std::int32_t selection_ = -1;
    std::int32_t failure_ = 0;
};
