#include "support/Logger.h"

#include "support/TextConversion.h"

#include <stdexcept>

void WindowLogger::write(const std::string& line) {
    // Converted first: a malformed line leaves the list untouched, attached or not.
    const std::u16string wide = utf8ToWide(line);
    if (!list_) {
        return;
    }
    // Appending after the last item keeps the lines in call order even in a sorted list box.
    const std::int32_t index = list_->append(wide);
    if (index == LogListControl::kFailed) {
        throw std::runtime_error("Failed to write log");
    }
    if (index == LogListControl::kNoSpace) {
        throw std::runtime_error("Insufficient space to write log");
    }
    list_->select(index);
}

WindowLogger& getLogger() {
    static WindowLogger logger;
    return logger;
}
