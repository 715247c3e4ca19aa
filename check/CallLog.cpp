#include "check/CallLog.h"

#include "support/TextConversion.h"

#include <limits>

namespace check {

std::int32_t CallLog::append(const std::u16string& line) {
    if (lines_.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        return kNoSpace;
    }
    lines_.push_back(wideToUtf8(line));
    return static_cast<std::int32_t>(lines_.size() - 1);
}

} // namespace check
