// A long call of the token on the window's thread, which takes no messages until it returns.
#pragma once

// For the lifetime of the object: the wait cursor shows, the window is painted as it stands
// before the call starts, and the input made meanwhile is dropped when it ends, before
// anything (a verdict, an error box, the message loop) could take it. For a dialog's view
// (DialogView) or the shell's (ShellView).
template <typename View>
class LongCall {
public:
    explicit LongCall(View& view) : view_(view) {
        view_.setWaitCursor(true);
        view_.paintNow();
    }
    ~LongCall() {
        view_.discardInput();
        view_.setWaitCursor(false);
    }
    LongCall(const LongCall&) = delete;
    LongCall& operator=(const LongCall&) = delete;

private:
    View& view_;
};
