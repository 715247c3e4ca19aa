// The PKCS#11 call log of one run: the operation log's lines, collected for the report in
// the order the calls were made.
#pragma once

#include "support/Logger.h"

#include <cstddef>
#include <string>
#include <vector>

namespace check {

class CallLog : public LogListControl {
public:
    std::int32_t append(const std::u16string& line) override;
    void select(std::int32_t) override {}

    // The lines as UTF-8, "C_Login -> CKR_OK" and the like.
    const std::vector<std::string>& lines() const noexcept { return lines_; }
    // The line of the latest call; empty before the first.
    std::string lastLine() const { return lines_.empty() ? std::string() : lines_.back(); }

private:
    std::vector<std::string> lines_;
};

} // namespace check
