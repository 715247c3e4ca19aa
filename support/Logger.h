// The operation log: one line per PKCS#11 call, shown in the main window's journal list.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// A sink of log lines.
class Logger {
public:
    virtual ~Logger() = default;
    virtual void write(const std::string& line) = 0;
};

// The list the journal lines go to: the Win32 list box, or an in-memory list in tests.
class LogListControl {
public:
    // Answers of append() besides the index of the new item, as the list box reports them.
    static constexpr std::int32_t kFailed = -1;
    static constexpr std::int32_t kNoSpace = -2;

    virtual ~LogListControl() = default;
    // Appends a line after the last item; returns its index, kFailed or kNoSpace.
    virtual std::int32_t append(const std::u16string& line) = 0;
    // Selects the item and scrolls it into view.
    virtual void select(std::int32_t index) = 0;
};

// The log that appends to the attached list; lines written before a list is attached are
// discarded.
class WindowLogger : public Logger {
public:
    // Throws utfcpp's exception for a line that is not UTF-8, and std::runtime_error
    // ("Failed to write log", "Insufficient space to write log") when the list refuses it.
    void write(const std::string& line) override;

    // Attaches the list, replacing the one attached before; null detaches.
    void setListBox(std::shared_ptr<LogListControl> list) noexcept { list_ = std::move(list); }

private:
    std::shared_ptr<LogListControl> list_;
};

// The process-wide log, created on first use.
WindowLogger& getLogger();
