#include "ui/Shell.h"

#include "support/TextConversion.h"
#include "token/Token.h"
#include "ui/LongCall.h"
#include "ui/TokenInfoText.h"
#include "ui/resources/Resource.h"

namespace {

void openTokenSession(ShellView& view, ShellState& state) {
    {
        const LongCall longCall(view);
        initializeToken();
        // Set at once: whatever comes next, even the session's end while the input is being
        // dropped, finalises what was opened.
        state.tokenReady = true;
    }
    if (state.shutDown) {
        return; // the session ended meanwhile, and the token is closed
    }
    const Token& token = *Token::instance();
    view.setControlText(IDC_MAIN_SERIAL, utf8ToWide(formatSerialNumber(token.getSerialNumber())));
    view.setControlText(IDC_MAIN_LABEL, labelToWide(token.getLabel()));
    view.setControlText(IDC_MAIN_CHECKSUM,
                        utf8ToWide(formatChecksum(token.getChecksum(), token.isChecksumInvalid())));
}

} // namespace

void runStartup(ShellView& view, ShellState& state) {
    view.attachLogList();
    try {
        openTokenSession(view, state);
    } catch (const std::exception& error) {
        view.reportError(error);
        view.postClose();
        return;
    }
    if (!state.shutDown && view.runPinDialog() != 1) {
        view.postClose();
    }
}

namespace {

void shutdownOnce(ShellView& view, ShellState& state, bool reportFailure) {
    if (state.shutDown) {
        return;
    }
    state.shutDown = true;
    if (state.tokenReady) {
        try {
            finalizeToken();
        } catch (const std::exception& error) {
            // The session is gone either way; the user learns why the token did not close.
            if (reportFailure) {
                view.reportError(error);
            }
        }
    }
    view.destroyPagesAndQuit();
}

} // namespace

void shutdown(ShellView& view, ShellState& state) {
    shutdownOnce(view, state, true);
}

void endSession(ShellView& view, ShellState& state) {
    // The call log still records the failing call.
    shutdownOnce(view, state, false);
}
