// The console side of token-check: text out as UTF-16 to a console and as UTF-8 to a file or
// pipe, and the PIN in without echo.
#pragma once

#include <string>

namespace check {

class Console {
public:
    Console();

    // A line (UTF-8) and its line end to standard output, or to standard error.
    void writeLine(const std::string& line);
    void writeErrorLine(const std::string& line);

    // The user PIN as UTF-8. From a console: asked for with a prompt, typed without echo.
    // Otherwise one line of standard input, for scripted runs. Empty when nothing was given.
    // Every buffer that held it is wiped; the caller wipes the result.
    std::string readPin();

private:
    std::string readPinFromConsole(void* input);
    std::string readPinLine(void* input);

    void* output_;
    void* errors_;
    bool outputIsConsole_;
    bool errorsAreConsole_;
};

} // namespace check
