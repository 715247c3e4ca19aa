// The user guide must explain every text the program can show: the error table holds every
// failure's message, and the guide as a whole every Russian text of the program's code.
#include "token/Exception.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <string>
#include <utf8.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

const fs::path kSources = WORKSTATION_SOURCE_DIR;

std::string guide() {
    static const std::string text = readText(kSources / "docs" / "guide.md");
    return text;
}

// The section of the guide that lists the messages, up to the next section.
std::string messageTable() {
    const std::string text = guide();
    const std::size_t begin = text.find("## Сообщения программы");
    const std::size_t end = text.find("\n## ", begin + 1);
    return begin == std::string::npos ? std::string() : text.substr(begin, end - begin);
}

// The failures' own texts, as the error boxes show them.
std::set<std::string> failureTexts() {
    std::set<std::string> texts;
    for (token::ReturnCode code = 0; code < 0x400; ++code) {
        texts.insert(token::returnCodeMessageRu(code));
    }
    texts.insert(token::returnCodeMessageRu(0x80000001));
    const auto add = [&](const Exception& error) { texts.insert(error.whatRu()); };
    add(ReadFileException(true));
    add(ReadFileException(false));
    add(WriteFileException());
    add(NoTokenException());
    add(ManyTokenException());
    add(PinException());
    add(DataTooLargeException());
    add(ModuleAnswerException());
    // The conversion library's texts reach the user as they are.
    texts.insert(utf8::invalid_utf16(static_cast<utf8::uint16_t>(0xD800)).what());
    texts.insert(utf8::invalid_utf8(static_cast<utf8::uint8_t>(0xFF)).what());
    texts.insert(utf8::not_enough_room().what());
    texts.insert(utf8::invalid_code_point(static_cast<utf8::uint32_t>(0x110000)).what());
    return texts;
}

// The code lines of the program's sources, comments left out.
std::vector<std::string> codeLines() {
    std::vector<std::string> code;
    for (const char* folder : {"ui", "token", "support", "check"}) {
        for (const auto& entry : fs::recursive_directory_iterator(kSources / folder)) {
            const std::string extension = entry.path().extension().string();
            if (extension != ".cpp" && extension != ".h") {
                continue;
            }
            std::istringstream lines(readText(entry.path()));
            for (std::string line; std::getline(lines, line);) {
                std::size_t comment = line.find("//");
                while (comment != std::string::npos &&
                       std::count(line.begin(), line.begin() + static_cast<long>(comment), '"') %
                               2 !=
                           0) {
                    comment = line.find("//", comment + 2);
                }
                code.push_back(line.substr(0, comment));
            }
        }
    }
    return code;
}

// The string literals that follow `opening` ("\"" for every literal) in the code.
std::set<std::string> literalsAfter(const std::string& opening) {
    std::set<std::string> found;
    for (const std::string& line : codeLines()) {
        for (std::size_t at = line.find(opening); at != std::string::npos;
             at = line.find(opening, at)) {
            const std::size_t begin = at + opening.size();
            std::size_t end = begin;
            while (end < line.size() && line[end] != '"') {
                end += line[end] == '\\' ? 2 : 1;
            }
            found.insert(line.substr(begin, end - begin));
            at = end + 1;
        }
    }
    return found;
}

std::string trimmed(const std::string& text) {
    const std::size_t begin = text.find_first_not_of(' ');
    const std::size_t end = text.find_last_not_of(' ');
    return begin == std::string::npos ? std::string() : text.substr(begin, end - begin + 1);
}

TEST(GuideTest, TheErrorTableExplainsEveryFailureText) {
    const std::string table = messageTable();
    ASSERT_FALSE(table.empty());
    for (const std::string& text : failureTexts()) {
        EXPECT_NE(table.find(text), std::string::npos) << "missing from the table: " << text;
    }
    // Failures of loading the module and of the journal list carry fixed English texts.
    const std::set<std::string> english = literalsAfter("runtime_error(\"");
    EXPECT_GE(english.size(), 5u);
    for (const std::string& text : english) {
        EXPECT_NE(table.find(text), std::string::npos) << "missing from the table: " << text;
    }
}

TEST(GuideTest, TheGuideHoldsEveryRussianTextOfTheProgram) {
    const std::string text = guide();
    std::size_t russian = 0;
    for (const std::string& literal : literalsAfter("\"")) {
        // Cyrillic letters are two-byte UTF-8 sequences starting 0xD0 or 0xD1.
        if (literal.find_first_of("\xD0\xD1") == std::string::npos) {
            continue;
        }
        ++russian;
        EXPECT_NE(text.find(trimmed(literal)), std::string::npos) << "missing: " << literal;
    }
    EXPECT_GT(russian, 30u);
}

} // namespace
