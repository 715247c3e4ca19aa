// The shell's start-up sequence and shutdown, against the few window operations they need.
#pragma once

#include <exception>
#include <string_view>

class ShellView {
public:
    virtual ~ShellView() = default;
    // Makes the main window's journal list the operation log's list.
    virtual void attachLogList() = 0;
    virtual void setControlText(int id, std::u16string_view text) = 0;
    // An error box over the main window.
    virtual void reportError(const std::exception& error) = 0;
    // Runs the PIN dialog modally; 1 after a successful login.
    virtual int runPinDialog() = 0;
    // Posts the close command (id 2) to the main window.
    virtual void postClose() = 0;
    // Destroys the page windows and posts the quit message.
    virtual void destroyPagesAndQuit() = 0;
    virtual void setWaitCursor(bool on) = 0;
    // As DialogView's, for the main window.
    virtual void paintNow() = 0;
    virtual void discardInput() = 0;
};

struct ShellState {
    bool tokenReady = false; // the token session was created; shutdown finalises it
    bool shutDown = false;   // shutdown ran; a second close command does nothing
};

// Attaches the log, opens the token session, shows the token's serial number, label and
// checksum and asks for the PIN. Any failure, or a PIN dialog that does not log in, posts
// the close command.
void runStartup(ShellView& view, ShellState& state);

// Once per run: finalises the token session if it was created (a failure is reported, and
// shutdown goes on), destroys the pages and ends the message loop.
void shutdown(ShellView& view, ShellState& state);

// The same when the system's session ends (log-off, shut-down), except that a failure to
// finalise is not shown: no box may hold the session's end for an answer. Together with
// shutdown, once per run.
void endSession(ShellView& view, ShellState& state);
