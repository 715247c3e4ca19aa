// The findings of a run: one line per check with its outcome and what it saw, shown as each
// check ends, counted for the summary and kept for the report file.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace check {

enum class Outcome { Passed, Failed, Skipped };

// What a check found: the outcome, a short text, and lines that follow it (key names).
struct Result {
    Outcome outcome;
    std::string detail;
    std::vector<std::string> notes = {};
};

inline Result passed(std::string detail, std::vector<std::string> notes = {}) {
    return {Outcome::Passed, std::move(detail), std::move(notes)};
}
inline Result failed(std::string detail) {
    return {Outcome::Failed, std::move(detail)};
}
inline Result skipped(std::string detail) {
    return {Outcome::Skipped, std::move(detail)};
}

class Report {
public:
    // Receives every text line of the report as it is made, without a line end.
    using Sink = std::function<void(const std::string& line)>;

    explicit Report(Sink sink) : sink_(std::move(sink)) {}

    // "ПРОЙДЕНО  Модуль: ..." and the notes below it, indented.
    void add(const std::string& name, const Result& result);
    // A line of its own after the checks' lines, counted in no outcome.
    void remark(const std::string& line);

    std::size_t count(Outcome outcome) const noexcept;
    bool anyFailed() const noexcept { return count(Outcome::Failed) > 0; }
    // "Итог: пройдено N, ошибок N, пропущено N".
    std::string summary() const;

    // The whole report: the heading, every line, the summary and the call log.
    std::string text(const std::string& heading, const std::vector<std::string>& callLog) const;

private:
    Sink sink_;
    std::vector<std::string> lines_;
    std::vector<Outcome> outcomes_;
};

} // namespace check
