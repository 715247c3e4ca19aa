// The console side of token-check: text out as UTF-16 to a console and as UTF-8 to a file or
// pipe, the PIN in without echo, and the end of a run in a console window of its own.
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
    // without echo. Otherwise one line of standard input, for scripted runs, which standard
    // error announces. Nothing is read when nothing was given. The read runs on a thread of
    // its own, and the wait for it ends early, with nothing read, once `stopEvent` (a Win32
    // event, or null) is signalled. Every buffer of its own that held the PIN is wiped; the
    // caller wipes `pin`.
    void readPin(std::string& pin, void* stopEvent);

    // Whether the console window is this program's alone, as when it was started by a double
    // click: the window closes when the program ends.
    bool ownsItsWindow() const;
    // Asks for Enter in the console window and waits for it; what was typed before is dropped.
    void waitForEnter();

private:
    void* output_;
    void* errors_;
    bool outputIsConsole_;
    bool errorsAreConsole_;
};

} // namespace check
