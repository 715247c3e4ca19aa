#include "check/Report.h"

#include <algorithm>

namespace check {

namespace {

// The outcome words, padded to one width so that the names line up.
const char* outcomeColumn(Outcome outcome) {
    switch (outcome) {
    case Outcome::Passed:
        return "ПРОЙДЕНО  ";
    case Outcome::Failed:
        return "ОШИБКА    ";
    case Outcome::Skipped:
        break;
    }
    return "ПРОПУЩЕНО ";
}

constexpr const char* kNoteIndent = "          - ";

} // namespace

void Report::add(const std::string& name, const Result& result) {
    outcomes_.push_back(result.outcome);
    std::vector<std::string> made{outcomeColumn(result.outcome) + name + ": " + result.detail};
    for (const std::string& note : result.notes) {
        made.push_back(kNoteIndent + note);
    }
    for (const std::string& line : made) {
        lines_.push_back(line);
        sink_(line);
    }
}

void Report::remark(const std::string& line) {
    lines_.push_back(line);
    sink_(line);
}

std::size_t Report::count(Outcome outcome) const noexcept {
    return static_cast<std::size_t>(std::count(outcomes_.begin(), outcomes_.end(), outcome));
}

std::string Report::summary() const {
    return "Итог: пройдено " + std::to_string(count(Outcome::Passed)) + ", ошибок " +
           std::to_string(count(Outcome::Failed)) + ", пропущено " +
           std::to_string(count(Outcome::Skipped));
}

std::string Report::text(const std::string& heading,
                         const std::vector<std::string>& callLog) const {
    std::string text = heading;
    text += "\n\n";
    for (const std::string& line : lines_) {
        text += line;
        text += '\n';
    }
    text += '\n';
    text += summary();
    text += "\n\n";
    text += "Журнал вызовов PKCS#11:";
    text += '\n';
    for (const std::string& line : callLog) {
        text += line;
        text += '\n';
    }
    return text;
}

} // namespace check
