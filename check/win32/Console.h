// The console side of token-check: text out as UTF-16 to a console and as UTF-8 to a file or
// pipe, the PIN in without echo, and the end of a run in a console window of its own.
#pragma once

#include <string>

namespace check {

class Console {
public:
    Console();
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // A line (UTF-8) and its line end to standard output, or to standard error.
    void writeLine(const std::string& line);
    void writeErrorLine(const std::string& line);

    // Reads the user PIN as UTF-8 into `pin`. From a console: asked for with a prompt, typed
    // without echo; from a console nobody sees (see ownsItsWindow) it is not asked for, which
    // standard error says. Otherwise one line of standard input, for scripted runs, which
    // standard error announces. Nothing is read when nothing was given. The read runs on a
    // thread of its own, and the wait for it ends early, with nothing read, once `stopEvent` (a
    // Win32 event, or null) is signalled. False when Ctrl+C ended the console read, which may
    // come before the control handler has signalled the event. Every buffer of its own that
    // held the PIN is wiped; the caller wipes `pin`.
    bool readPin(std::string& pin, void* stopEvent);

    // Whether the program reads and writes a console window of its own that someone sees, as
    // after a double click: the window closes when the program ends. Not when its input or
    // output is redirected, a shell shares the console, the console has no window or a
    // hidden one, or the window station is not the interactive one (a service, a scheduled
    // task run without its user logged on): nobody could press Enter there.
    bool ownsItsWindow() const;
    // Asks for Enter in the console window and waits for it; what was typed before is dropped.
    void waitForEnter();

private:
    void* output_;
    void* errors_;
    bool outputIsConsole_;
    bool errorsAreConsole_;
    // The thread of a PIN read that was given up, or null.
    void* abandonedRead_ = nullptr;
};

} // namespace check
