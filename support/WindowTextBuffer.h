#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

// A zero-filled array of UTF-16 units into which the window system copies a control's text.
// A buffer of capacity N holds at most N - 1 units of text and its terminating zero.
class WindowTextBuffer {
public:
    static constexpr std::size_t kPinCapacity = 64;
    static constexpr std::size_t kPathCapacity = 260;

    explicit WindowTextBuffer(std::size_t capacity) : units_(capacity, u'\0') {}
    WindowTextBuffer(const WindowTextBuffer&) = delete;
    WindowTextBuffer& operator=(const WindowTextBuffer&) = delete;
    ~WindowTextBuffer() { release(); }

    char16_t* data() noexcept { return units_.data(); }
    std::size_t capacity() const noexcept { return units_.size(); }

    // Copies at most capacity - 1 units of text and a terminating zero, as GetWindowTextW does.
    void assign(std::u16string_view text) noexcept;

    // The units before the first zero unit, or all of them when there is none.
    std::u16string_view text() const noexcept;

    // Wipes the units (they may hold a PIN) and gives the memory back.
    void release() noexcept;

private:
    std::vector<char16_t> units_;
};
