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

    // Reads the user PIN as UTF-8 into `pin`. From a console: asked for with a prompt, typed
    // without echo. Otherwise one line of standard input, for scripted runs. Nothing is read
    // when nothing was given. Every buffer of its own that held it is wiped; the caller wipes
    // `pin`.
    void readPin(std::string& pin);

private:
    void readPinFromConsole(void* input, std::string& pin);
    void readPinLine(void* input, std::string& pin);

    void* output_;
    void* errors_;
    bool outputIsConsole_;
    bool errorsAreConsole_;
};

} // namespace check
