#include "support/WindowTextBuffer.h"

#include "support/Wipe.h"

#include <algorithm>

void WindowTextBuffer::assign(std::u16string_view text) noexcept {
    if (units_.empty()) {
        return;
    }
    const std::size_t count = std::min(text.size(), units_.size() - 1);
    std::copy_n(text.begin(), count, units_.begin());
    units_[count] = u'\0';
}

std::u16string_view WindowTextBuffer::text() const noexcept {
    const auto end = std::find(units_.begin(), units_.end(), u'\0');
    return {units_.data(), static_cast<std::size_t>(end - units_.begin())};
}

void WindowTextBuffer::release() noexcept {
    secureWipe(units_.data(), units_.size() * sizeof(char16_t));
    units_.clear();
    units_.shrink_to_fit();
}
